/* A library with the USB calibrator library's two entry points that tells a test,
 * line by line, every call the program makes: on the file descriptor named by
 * T720_RECORDER_FD. It finds one calibrator and accepts every command. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void Record(const char* text) {
    const char* fd = getenv("T720_RECORDER_FD");
    if (!fd) return;
    char line[600];
    const int n = snprintf(line, sizeof line, "%s\n", text);
    if (n > 0)
        (void)!write(atoi(fd), line, (size_t)(n < (int)sizeof line ? n : (int)sizeof line - 1));
}

int32_t CalCommand(int32_t device, char* id, char* command, int32_t* count) {
    char line[560];
    snprintf(line, sizeof line, "CalCommand %d [%.200s] [%.200s] %d", (int)device, id, command,
             (int)*count);
    Record(line);
    if (device == -1) return 0;
    strcpy(command, "0");
    *count = 1;
    return 0;
}

int32_t GetUSBDeviceInfo(int32_t* n1, char* serial, int32_t* serialLen, char* text2, int32_t* len2,
                         char* text3, int32_t* len3, char* ident, int32_t* identLen) {
    char line[560];
    snprintf(line, sizeof line, "GetUSBDeviceInfo [%.200s] [%.200s]", serial, ident);
    Record(line);
    strcpy(serial, "REC-0815");
    *serialLen = 8;
    strcpy(text2, "(null)");
    *len2 = 6;
    *len3 = 0;
    strcpy(ident, "T720S V1");
    *identLen = 8;
    *n1 = 0;
    return 0;
}
