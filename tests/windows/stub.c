/* The one function behind every export of the small DLLs that test the export check. */
void stub(void) {}
