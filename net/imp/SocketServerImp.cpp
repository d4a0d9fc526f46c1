#include "net/imp/SocketServerImp.h"

#include <poll.h>

#include <cerrno>
#include <exception>
#include <string>

#include "multi_threading/Factory.h"
#include "multi_threading/imp/StopThreadMessage.h"
#include "multi_threading/imp/ThreadBase.h"
#include "net/Factory.h"
#include "net/imp/SocketServerMessages.h"
#include "net/imp/ThreadObject.h"
#include "net/imp/Util.h"
#include "output/Output.h"

namespace zu {
namespace net {
namespace imp {

namespace {

// The longest a poll pass lasts.
const int kPassMilliseconds = 300;

}  // namespace

bool ThreadObject::Run() {
  return server_->Run();
}

SharedPtr<SocketServerImp> SocketServerImp::Create() {
  SharedPtr<SocketServerImp> server(new SocketServerImp());
  if (!server->Init())
    return SharedPtr<SocketServerImp>();
  return server;
}

bool SocketServerImp::Init() {
  wakeUp_ = WakeUpSignal::Create();
  if (!wakeUp_) {
    ZU_ERROR("ZUNET", "SocketServerImp: no wake-up signal");
    return false;
  }
  thread =
      multi_threading::factory::CreateThread("SocketServerImp", 0, multi_threading::Thread::Normal);
  if (!thread)
    return false;  // logged by the thread
  threadBase_ = std::dynamic_pointer_cast<multi_threading::imp::ThreadBase>(thread);
  if (threadBase_) {
    // The hook owns the signal, so a call still under way when the server goes is harmless.
    WakeUpSignalPtr signal = wakeUp_;
    threadBase_->SetWakeUpHook([signal]() { signal->Signal(); });
  }
  if (!thread->Start(multi_threading::ThreadObjectPtr(new ThreadObject(this)))) {
    ZU_ERROR("ZUNET", "SocketServerImp: thread refused to start");
    if (threadBase_)
      threadBase_->SetWakeUpHook(nullptr);
    thread->Stop();
    thread.reset();
    return false;
  }
  return true;
}

SocketServerImp::~SocketServerImp() {
  if (!thread)
    return;
  if (OnServerThread()) {
    // Run is somewhere up this thread's stack: make it leave without touching this object,
    // drop what is queued for it (a start that someone waits for is answered as failed), and
    // let the thread's loop end after it.
    alive_->store(false);
    stopRequested_.store(true);
    multi_threading::MessagePtr message;
    while (thread->TryWaitThreadMessage(message, zu::Time::Zero()) !=
           multi_threading::Message::Failed) {
      multi_threading::imp::ThreadBase::AnswerUnhandled(message);
      message.reset();
    }
    thread->SendThreadMessage(
        multi_threading::MessagePtr(new multi_threading::imp::StopThreadMessage()));
  } else {
    Stop(true);
  }
  if (threadBase_)
    threadBase_->SetWakeUpHook(nullptr);
}

bool SocketServerImp::OnServerThread() const {
  return threadBase_ && threadBase_->IsCallingThread();
}

bool SocketServerImp::Start(bool wait) {
  if (!thread || !thread->IsRunning() || stopRequested_.load())
    return false;
  multi_threading::MessagePtr message(new StartMessage(wait && !OnServerThread()));
  // The server thread cannot wait for itself; its own request is handled right after.
  if (!wait || OnServerThread())
    return thread->SendThreadMessage(message);
  return thread->SendThreadMessageAndWait(message) == multi_threading::Message::Received;
}

void SocketServerImp::Stop(bool wait) {
  if (!thread || !thread->IsRunning())
    return;
  if (!stopRequested_.exchange(true))
    thread->SendThreadMessage(multi_threading::MessagePtr(new StopMessage()));
  if (wait)
    thread->Stop();
}

bool SocketServerImp::AddSocket(ReadWriteSocketPtr socket, DataReceiverPtr receiver) {
  if (!socket || !receiver) {
    ZU_ERROR("ZUNET", "AddSocket needs a socket and a receiver");
    return false;
  }
  if (!thread || !thread->IsRunning() || stopRequested_.load())
    return false;
  return thread->SendThreadMessage(
      multi_threading::MessagePtr(new AddSocketMessage(std::move(socket), std::move(receiver))));
}

bool SocketServerImp::RemoveSocket(ReadWriteSocketPtr socket) {
  if (!thread || !thread->IsRunning() || stopRequested_.load())
    return false;
  return thread->SendThreadMessage(
      multi_threading::MessagePtr(new RemoveSocketMessage(std::move(socket))));
}

bool SocketServerImp::Run() {
  // Local copies: the object may be gone when a receiver or a dropped registration
  // released it on this thread.
  const SharedPtr<std::atomic<bool>> alive = alive_;
  const multi_threading::ThreadPtr self = thread;
  running = true;
  waitTime = zu::Time::Infinite();
  for (;;) {
    {
      multi_threading::MessagePtr message;
      multi_threading::Message::ReturnValue result;
      if (waitTime == zu::Time::Infinite()) {
        result = self->WaitThreadMessage(message);
        if (result == multi_threading::Message::Failed)
          WaitForWakeUp();  // logged by the thread; do not spin on a lasting failure
      } else {
        result = self->TryWaitThreadMessage(message, waitTime);
      }
      if (message && (result == multi_threading::Message::Received ||
                      result == multi_threading::Message::Quit)) {
        if (!HandleMessage(message) && alive->load())
          ZU_ERROR("ZUNET", "Message not handled id=" + std::to_string(message->id));
        multi_threading::imp::ThreadBase::AnswerUnhandled(message);
      } else if (waitTime != zu::Time::Infinite()) {
        Accept();
        // The lists change only in HandleMessage; the server may be gone after any call.
        for (size_t i = 0; alive->load() && i < receivers.size(); ++i) {
          const DataReceiverPtr receiver = receivers[i];
          if (receiver)
            receiver->OnPassEnd();
        }
      }
    }
    if (!alive->load())
      return true;
    if (!running)
      return true;
  }
}

bool SocketServerImp::HandleMessage(multi_threading::MessagePtr message) {
  if (!message)
    return false;
  switch (message->id) {
    case StartMessage::Id: {
      SharedPtr<StartMessage> start = std::dynamic_pointer_cast<StartMessage>(message);
      if (!start)
        return false;
      waitTime = zu::Time::Zero();
      if (start->reply && start->sender)
        start->sender->ReplyThreadMessage(start);
      return true;
    }
    case StopMessage::Id:
      running = false;
      return true;
    case AddSocketMessage::Id: {
      SharedPtr<AddSocketMessage> add = std::dynamic_pointer_cast<AddSocketMessage>(message);
      if (!add)
        return false;
      sockets.push_back(add->socket);
      receivers.push_back(add->receiver);
      return true;
    }
    case RemoveSocketMessage::Id: {
      SharedPtr<RemoveSocketMessage> remove =
          std::dynamic_pointer_cast<RemoveSocketMessage>(message);
      if (!remove)
        return false;
      for (size_t i = 0; i < sockets.size(); ++i) {
        if (sockets[i] == remove->socket) {
          // Released only on return: the last reference to a receiver may take this server
          // with it, after which nothing here may be touched.
          ReadWriteSocketPtr socket = std::move(sockets[i]);
          DataReceiverPtr receiver = std::move(receivers[i]);
          sockets.erase(sockets.begin() + static_cast<std::ptrdiff_t>(i));
          receivers.erase(receivers.begin() + static_cast<std::ptrdiff_t>(i));
          return true;
        }
      }
      return true;
    }
    default:
      return false;
  }
}

bool SocketServerImp::Accept() {
  const SharedPtr<std::atomic<bool>> alive = alive_;
  // Entry 0 is the wake-up signal; entry k > 0 watches registration index[k - 1].
  std::vector<pollfd> entries;
  std::vector<size_t> index;
  entries.reserve(sockets.size() + 1);
  index.reserve(sockets.size());
  entries.push_back(pollfd{wakeUp_->GetDescriptor(), POLLIN, 0});
  for (size_t i = 0; i < sockets.size(); ++i) {
    if (!sockets[i] || !receivers[i])
      continue;
    const int descriptor = sockets[i]->GetDescriptor();
    if (descriptor == -1)
      continue;  // closed: silent until removed
    entries.push_back(pollfd{descriptor, POLLIN, 0});
    index.push_back(i);
  }

  const int ready = ::poll(entries.data(), entries.size(), kPassMilliseconds);
  if (ready < 0) {
    if (errno == EINTR)
      return true;
    util::PrintSocketError("Select error", true);
    WaitForWakeUp();
    return false;
  }
  if (ready == 0)
    return true;
  if (entries[0].revents != 0)
    wakeUp_->Drain();  // the queue is looked at right after this pass

  for (size_t k = 1; k < entries.size(); ++k) {
    // A peer's close or an error is handed over like data: the receiver's read finds it.
    if ((entries[k].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0)
      continue;
    // Copies keep both alive through the call, whatever the receiver releases.
    const ReadWriteSocketPtr socket = sockets[index[k - 1]];
    const DataReceiverPtr receiver = receivers[index[k - 1]];
    // An earlier receiver of this pass may have closed it.
    if (!socket->IsValid())
      continue;
    try {
      receiver->OnDataReceived(socket);
    } catch (const std::exception& e) {
      ZU_ERROR("ZUNET", std::string("Receiver failed: ") + e.what());
    } catch (...) {
      ZU_ERROR("ZUNET", "Receiver failed with an unknown exception");
    }
    if (!alive->load())
      return true;
  }
  return true;
}

void SocketServerImp::WaitForWakeUp() {
  pollfd entry{wakeUp_->GetDescriptor(), POLLIN, 0};
  if (::poll(&entry, 1, kPassMilliseconds) > 0)
    wakeUp_->Drain();
}

}  // namespace imp

namespace factory {

SharedPtr<SocketServer> CreateSocketServer() {
  return imp::SocketServerImp::Create();
}

}  // namespace factory
}  // namespace net
}  // namespace zu
