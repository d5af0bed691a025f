// Portable parts of the creator.
