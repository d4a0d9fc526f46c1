#pragma once

#include <string>
#include <vector>

#include "multi_threading/ThreadObject.h"
#include "multi_threading/Time.h"

namespace zu {
namespace nivo {

// The work of the thread "EPG_UpdateThread", started once the host has asked for the guide of
// every channel: after a quiet period it switches the client to detailed mode (guide requests
// then also read show details), tells the user, and asks the host to request the guide of
// each channel again, one channel per period. It fetches nothing itself and never takes the
// client's lock; the client's shutdown ends any wait at once with the quit message.
class EPGUpdateThread : public multi_threading::ThreadObject {
 public:
  // What the thread asks of the client, on the thread.
  class Client {
   public:
    // Guide requests from now on also read the details of coming shows.
    virtual void SwitchToDetailedMode() = 0;
    // Shows text to the user as an informational notification.
    virtual void Notify(const std::string& text) = 0;
    // Asks the host to request the guide of the channel again.
    virtual void TriggerRefresh(unsigned int uid) = 0;
    // True once the client shuts down.
    virtual bool IsStopping() const = 0;

   protected:
    ~Client() = default;
  };

  // client is not owned: its shutdown stops this thread before it goes away. channelUids are
  // the channels to refresh, in order; wait is the quiet period before detailed mode and
  // between two refresh triggers.
  EPGUpdateThread(Client& client, std::vector<unsigned int> channelUids, const zu::Time& wait);

  // One pass over the channels; returns true early when the quit message arrives or the
  // client is stopping. Runs on the thread it was started on.
  bool Run() override;

 private:
  Client& client_;
  std::vector<unsigned int> channelUids_;
  zu::Time wait_;
};

}  // namespace nivo
}  // namespace zu
