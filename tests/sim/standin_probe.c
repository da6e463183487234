/* Loads the stand-in USB library as any C program would, with dlopen, and makes
 * the calls the program makes: the initialisation call, the device search, and
 * one setting command. Prints what came back, one line per call:
 *
 *   init <result>
 *   info <status> serial "<text>" <length> ident "<text>" <length>
 *   command <result> answer "<text>" count <count>
 *
 * Exit status 0 when a device was found (status >= 0) and "K1A 0, 5, 2, 3" was
 * answered "0" with a non-zero count; 1 when not; 2 when the library cannot be
 * loaded. Usage: standin_probe LIBRARY */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef int32_t (*CalCommandFn)(int32_t, char*, char*, int32_t*);
typedef int32_t (*GetUSBDeviceInfoFn)(int32_t*, char*, int32_t*, char*, int32_t*, char*, int32_t*,
                                      char*, int32_t*);

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: standin_probe LIBRARY\n");
        return 2;
    }
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) {
        fprintf(stderr, "standin_probe: %s\n", dlerror());
        return 2;
    }
    CalCommandFn calCommand = (CalCommandFn)dlsym(lib, "CalCommand");
    GetUSBDeviceInfoFn getInfo = (GetUSBDeviceInfoFn)dlsym(lib, "GetUSBDeviceInfo");
    if (calCommand == NULL || getInfo == NULL) {
        fprintf(stderr, "standin_probe: entry point missing\n");
        return 2;
    }

    /* Buffers as the program gives them: 256 bytes and more, zero-filled. */
    char id[256] = "";
    char command[256] = "";
    int32_t count = 0;
    printf("init %d\n", (int)calCommand(-1, id, command, &count));

    int32_t n1 = 0;
    char serial[256] = "", text2[256] = "", text3[256] = "", ident[256] = "";
    int32_t serialLen = 255, len2 = 255, len3 = 255, identLen = 255;
    const int32_t status =
        getInfo(&n1, serial, &serialLen, text2, &len2, text3, &len3, ident, &identLen);
    printf("info %d serial \"%s\" %d ident \"%s\" %d\n", (int)status, serial, (int)serialLen, ident,
           (int)identLen);

    strcpy(id, serial);
    strcpy(command, "K1A 0, 5, 2, 3");
    count = 0;
    const int32_t result = calCommand(0, id, command, &count);
    printf("command %d answer \"%s\" count %d\n", (int)result, command, (int)count);

    dlclose(lib);
    return status >= 0 && result == 0 && strcmp(command, "0") == 0 && count != 0 ? 0 : 1;
}
