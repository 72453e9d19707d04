// gcal-log-decrypt: reads an encrypted debug log back as plain lines.
#include <cstdio>

int main()
{
    std::fputs("gcal-log-decrypt: not available yet\n", stderr);
    return 2;
}
