// Portable parts of the setup runtime.
