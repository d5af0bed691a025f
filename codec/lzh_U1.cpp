// The LZH coder.
