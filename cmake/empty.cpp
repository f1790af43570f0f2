// Placeholder so that a folder without sources still yields a library.
