#include "fakes/MosquittoBroker.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "base/UniqueFd.h"

namespace {

std::string Program(const char* name) {
  for (const char* folder : {"/usr/sbin/", "/usr/bin/", "/usr/local/sbin/", "/usr/local/bin/"})
    if (access((std::string(folder) + name).c_str(), X_OK) == 0)
      return std::string(folder) + name;
  return name;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port nobody listens on now; the broker takes it a moment later.
int FreePort() {
  TUniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return 0;
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  TUniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = Loopback(port);
  return connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

int Run(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TMosquittoBroker::TMosquittoBroker(std::string folder,
                                   std::vector<std::pair<std::string, std::string>> users)
    : folder_(std::move(folder)), users_(std::move(users)) {
  std::filesystem::create_directories(folder_);
}

TMosquittoBroker::~TMosquittoBroker() {
  Stop();
}

void TMosquittoBroker::UseTls(std::string caFile, std::string certFile, std::string keyFile) {
  tls_ = "cafile " + caFile + "\ncertfile " + certFile + "\nkeyfile " + keyFile + "\n";
}

bool TMosquittoBroker::WriteConfig() {
  const passwd* user = getpwuid(getuid());
  std::ofstream config(folder_ + "/mosquitto.conf");
  config << "listener " << port_ << " 127.0.0.1\n"
         << tls_ << "persistence true\npersistence_location " << folder_ << "/\n"
         << "log_dest file " << folder_
         << "/mosquitto.log\nlog_type all\n"
         // Run as root it would switch to the mosquitto user, who cannot read the folder.
         << "user " << (user != nullptr ? user->pw_name : "root") << "\n";
  if (users_.empty()) {
    config << "allow_anonymous true\n";
    return static_cast<bool>(config);
  }
  config << "allow_anonymous false\npassword_file " << folder_ << "/passwd\n" << acl_;
  const std::string passwd = folder_ + "/passwd";
  std::filesystem::remove(passwd);
  for (const auto& [name, password] : users_) {
    std::vector<std::string> args{Program("mosquitto_passwd"), "-b", passwd, name, password};
    if (!std::filesystem::exists(passwd))
      args.insert(args.begin() + 1, "-c");
    if (Run(args) != 0)
      return false;
  }
  std::filesystem::permissions(passwd, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
  return static_cast<bool>(config);
}

bool TMosquittoBroker::Start() {
  // Another process may take the free port between the look and the start.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (port_ == 0 || attempt > 0)
      port_ = FreePort();
    if (StartOnce())
      return true;
  }
  return false;
}

bool TMosquittoBroker::StartOnce() {
  if (port_ == 0 || !WriteConfig())
    return false;
  const std::string program = Program("mosquitto");
  const std::string config = folder_ + "/mosquitto.conf";
  const std::string output = folder_ + "/mosquitto.out";
  pid_ = fork();
  if (pid_ == 0) {
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    dup2(out, 1);
    dup2(out, 2);
    execl(program.c_str(), program.c_str(), "-c", config.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    if (Accepts(port_))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Stop();
  return false;
}

void TMosquittoBroker::Stop() {
  if (pid_ <= 0)
    return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string TMosquittoBroker::Log() const {
  std::ifstream in(folder_ + "/mosquitto.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
