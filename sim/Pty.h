// A pseudo-terminal pair for tests and benchmarks of the program's serial code:
// they play the device by hand on the master side (each call waits for its bytes),
// the code under test opens the slave by its path.
#pragma once

#include <string>

namespace t720::sim {

class Pty {
  public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // The slave's device path (/dev/pts/N).
    const std::string& SlavePath() const { return slavePath_; }
    bool Ok() const { return master_ >= 0; }

    // Device side.
    void Write(const std::string& bytes);
    // Everything the program wrote, waiting up to `seconds` for the first byte and
    // then taking what has arrived until the line feed count reaches `lines`.
    std::string ReadLines(int lines, double seconds = 5.0);
    // The device goes away: the program's side sees a hang-up.
    void CloseMaster();

  private:
    int master_ = -1;
    int keepSlave_ = -1;  // keeps the pair alive while the program has it closed
    std::string slavePath_;
};

}  // namespace t720::sim
