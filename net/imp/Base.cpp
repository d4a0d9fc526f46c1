#include "net/imp/Base.h"

#include <atomic>

namespace zu {
namespace net {
namespace imp {

namespace {

std::atomic<unsigned int> liveCount{0};
std::atomic<bool> networkInUse{false};

void Acquire() {
  liveCount.fetch_add(1);
  networkInUse.store(true);
}

}  // namespace

Base::Base() {
  Acquire();
}

Base::Base(const Base&) {
  Acquire();
}

Base::~Base() {
  if (liveCount.fetch_sub(1) == 1)
    networkInUse.store(false);
}

unsigned int Base::GetLiveCount() {
  return liveCount.load();
}

bool Base::IsNetworkInUse() {
  return networkInUse.load();
}

void Base::SetNetworkInUse() {
  networkInUse.store(true);
}

}  // namespace imp
}  // namespace net
}  // namespace zu
