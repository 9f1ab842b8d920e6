#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// The Debian mosquitto broker, run by a test on a free loopback port with a
// configuration, persistence and password file of its own in `folder`.
// Stopped and started again it keeps its port and the sessions it saved.
class TMosquittoBroker {
public:
  // With users, only they may connect (passwords made by mosquitto_passwd).
  explicit TMosquittoBroker(std::string folder,
                            std::vector<std::pair<std::string, std::string>> users = {});
  ~TMosquittoBroker();
  TMosquittoBroker(const TMosquittoBroker&) = delete;
  TMosquittoBroker& operator=(const TMosquittoBroker&) = delete;

  // TLS on its listener with this CA, certificate and key (from the next start).
  void UseTls(std::string caFile, std::string certFile, std::string keyFile);
  // Access for the users as this access list says (from the next start).
  void UseAcl(std::string aclFile) { acl_ = "acl_file " + aclFile + "\n"; }
  // Starts it and waits until it takes connections.
  bool Start();
  // Ends it with SIGTERM (it saves its sessions) and waits.
  void Stop();
  int Port() const { return port_; }
  std::string Log() const;

private:
  bool StartOnce();
  bool WriteConfig();

  std::string folder_;
  std::vector<std::pair<std::string, std::string>> users_;
  std::string tls_; // the listener's TLS lines
  std::string acl_;
  int port_ = 0;
  pid_t pid_ = -1;
};
