// The codec object.
