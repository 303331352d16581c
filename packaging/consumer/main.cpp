// Smallest application of the installed library: includes the umbrella header
// next to the standard headers whose names meet the library's, and prints a
// few library values.
#include <ZENDatabase.h>

#include <cmath>
#include <cstdio>
#include <unistd.h>

int main()
{
    CString text;
    text.Format("ZENDatabase %s", ZEN_VERSION_STRING);
    std::printf("%s\n", text.GetString());
    std::printf("%.1f\n", std::round(2.5));
    return text.IsEmpty() ? 1 : 0;
}
