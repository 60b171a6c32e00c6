#include "base/sleeper.h"

#include <chrono>
#include <thread>

void PlatformSleeper::SleepMs(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
