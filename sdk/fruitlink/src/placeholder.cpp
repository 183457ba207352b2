// Replaced when the library's operations are built.
