/* A minimal library with the USB calibrator library's two entry points, for the
 * loader tests. It answers "0", renames the device, and reports back what it was
 * given so the tests can check the buffers. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

int32_t CalCommand(int32_t device, char* id, char* command, int32_t* count) {
    if (device == -1) return 0;
    if (strcmp(command, "LONG") == 0) {
        /* The longest answer a 256-byte buffer holds. */
        memset(command, 'A', 255);
        command[255] = '\0';
    } else {
        strcpy(command, "0");
    }
    strcpy(id, "FROM-LIB");
    *count = *count + 1;
    return 0;
}

int32_t GetUSBDeviceInfo(int32_t* n1, char* serial, int32_t* serialLen, char* text2, int32_t* len2,
                         char* text3, int32_t* len3, char* ident, int32_t* identLen) {
    char room[32];
    snprintf(room, sizeof room, "%d", (int)*serialLen);
    /* serial: the prefix it was given, then "|SER" */
    strcat(serial, "|SER");
    *serialLen = (int32_t)strlen(serial);
    strcpy(text2, "(null)");
    *len2 = 6;
    strcpy(text3, room);
    *len3 = (int32_t)strlen(text3);
    /* ident: the prefix, then "|ID", with a length that says one character less */
    strcat(ident, "|IDX");
    *identLen = (int32_t)strlen(ident) - 1;
    *n1 = 7;
    return 0;
}
