#pragma once

namespace zu {
namespace net {
namespace imp {

// Counts the network objects alive in the process. Every Address owns one and every socket
// derives from it; constructing one raises the count and marks the network as in use,
// destroying the last one clears the mark. Safe to create and destroy from any thread.
class Base {
 public:
  Base();
  Base(const Base&);
  Base& operator=(const Base&) { return *this; }
  ~Base();

  // Number of live network objects.
  static unsigned int GetLiveCount();
  // Whether a network object exists or a socket descriptor has been created since the last
  // object went away.
  static bool IsNetworkInUse();
  // Marks the network as in use (done by every socket descriptor creation).
  static void SetNetworkInUse();
};

}  // namespace imp
}  // namespace net
}  // namespace zu
