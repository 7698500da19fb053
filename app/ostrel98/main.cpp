#include <cstdio>

// The agent's schedule loop is not part of this build yet; the program says
// so instead of pretending to run.
int main()
{
    std::fputs("ostrel98: the scheduled-send agent is not available in this version.\n", stderr);
    return 1;
}
