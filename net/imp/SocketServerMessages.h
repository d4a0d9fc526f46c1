#pragma once

#include "multi_threading/Message.h"
#include "net/SocketServer.h"

namespace zu {
namespace net {
namespace imp {

// The requests a socket server posts to its own thread.

// Makes the server watch its sockets; with reply set, the message goes back to its sender
// once handled.
class StartMessage : public multi_threading::Message {
 public:
  static constexpr unsigned int Id = 0x10000;
  explicit StartMessage(bool reply) : Message(Id), reply(reply) {}
  const bool reply;
};

// Ends the server's Run.
class StopMessage : public multi_threading::Message {
 public:
  static constexpr unsigned int Id = 0x10001;
  StopMessage() : Message(Id) {}
};

// Appends a registration.
class AddSocketMessage : public multi_threading::Message {
 public:
  static constexpr unsigned int Id = 0x10002;
  AddSocketMessage(ReadWriteSocketPtr socket, SocketServer::DataReceiverPtr receiver)
      : Message(Id), socket(std::move(socket)), receiver(std::move(receiver)) {}
  const ReadWriteSocketPtr socket;
  const SocketServer::DataReceiverPtr receiver;
};

// Erases the first registration of a socket.
class RemoveSocketMessage : public multi_threading::Message {
 public:
  static constexpr unsigned int Id = 0x10003;
  explicit RemoveSocketMessage(ReadWriteSocketPtr socket)
      : Message(Id), socket(std::move(socket)) {}
  const ReadWriteSocketPtr socket;
};

}  // namespace imp
}  // namespace net
}  // namespace zu
