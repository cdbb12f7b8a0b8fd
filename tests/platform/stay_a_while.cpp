// Started by the process tests: ends after a second, or after the seconds its first argument gives.
#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 1;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}
