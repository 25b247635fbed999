// Prints the arguments it received, one per line, each byte as two hexadecimal digits, so a
// test can compare them exactly (blanks, quotes, line breaks and all).
#include "platform/CommandLine.h"

#include <cstdio>

int main(int argc, char** argv)
{
    vx::UseUtf8Arguments(&argc, &argv);
    for (int i = 1; i < argc; ++i) {
        for (const char* p = argv[i]; *p; ++p)
            printf("%02x", static_cast<unsigned char>(*p));
        printf("\n");
    }
    return 0;
}
