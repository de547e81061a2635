/* A shared object with one entry point and one symbol that should not be there. */
unsigned KVTclear(void) {
    return 0;
}
int helper_that_leaks(int x) {
    return x + 1;
}
