// The translation unit that builds the UI tests' precompiled header.
