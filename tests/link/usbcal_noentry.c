/* A library file of the right name without the entry points. */
int NotTheCalibratorLibrary(void) {
    return 0;
}
