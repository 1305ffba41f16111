#pragma once
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
inline void PhaseMark(const char* what) {
  static auto start = std::chrono::steady_clock::now();
  if (!std::getenv("LEXIFORM_PHASES"))
    return;
  std::ifstream status("/proc/self/status");
  std::string line, rss, hwm;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS", 0) == 0)
      rss = line;
    if (line.rfind("VmHWM", 0) == 0)
      hwm = line;
  }
  std::fprintf(stderr, "[%7.3f] %-28s %s %s\n",
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
               what, rss.c_str(), hwm.c_str());
}
