// log_fixture_writer PATH TAG COUNT EVENT: once the event is set, appends
// COUNT lines "TAG <n>" and a line break, then 60 x and another.
#include "LogFile.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 5)
        return 2;
    unique_handle go(::OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
    if (!go || ::WaitForSingleObject(go.get(), 60000) != WAIT_OBJECT_0)
        return 3;
    CLogFile log(argv[1]);
    const std::string padding(60, 'x');
    for (int i = 0, n = std::atoi(argv[3]); i < n; ++i)
        log.Write("LogWriter", 3,
                  std::string(argv[2]) + " " + std::to_string(i) + "\n" + padding + "\r\n");
    return 0;
}
