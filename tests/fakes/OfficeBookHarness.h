#pragma once

#include "base/PostTarget.h"
#include "core/OfficeBook.h"
#include "data/KsoCtiDb.h"
#include "data/PhoneBook.h"
#include "fakes/FakeMqttClients.h"
#include "share/ShareTopics.h"
#include "share/StationStatus.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// One PC of an office sharing a phone book, inside the test's process: a
// program folder and database of its own, which become the program's one
// database (and its edit hook the phone book's) while the PC runs. What it
// publishes is kept for the test, which plays the broker.
class TBookPeer {
public:
  static constexpr const char* Base = "teloria2/office";

  TBookPeer(std::string station, std::string book)
      : station_(std::move(station)), book_(std::move(book)) {
    std::filesystem::copy_file(TELORIA_DB_TEMPLATE, File());
    db_ = OpenCtiDb(File());
    Start();
  }
  ~TBookPeer() { Stop(); }
  TBookPeer(const TBookPeer&) = delete;
  TBookPeer& operator=(const TBookPeer&) = delete;

  const std::string& Station() const { return station_; }
  std::string File() const { return folder_.Path() + "/teloria2.db3"; }

  // The program (re)starts its office book, or stops it.
  void Start() {
    Run([this] {
      office = std::make_unique<TOfficeBook>(client_, post_, Base, station_, book_);
      office->OnJoinQuestion = [this](int, const std::string&) { return OfferOnJoin; };
    });
  }
  void Stop() {
    Run([this] { office.reset(); });
  }
  // The PC's database replaced by another file (a copy, a fresh one), the
  // program started again on it; `inPlace`: written over the file, which
  // stays the same file.
  void Reopen(const std::string& file, bool inPlace = false) {
    Closed([&] {
      if (inPlace) {
        std::filesystem::copy_file(file, File(), std::filesystem::copy_options::overwrite_existing);
      } else {
        std::filesystem::remove(File());
        std::filesystem::copy_file(file, File());
      }
    });
  }
  // A copy of the database as it is now (a backup).
  void CopyTo(const std::string& file) {
    Closed([&] { std::filesystem::copy_file(File(), file); });
  }

  // Runs `fn` as this PC, then what that posted.
  template <typename Fn> void Run(Fn&& fn) {
    TAsThisPc as(*this);
    fn();
    post_->Pump();
  }
  // A message from the broker.
  void Deliver(const TMqttMessage& message) {
    Run([&] {
      if (office)
        office->Take(message);
    });
  }
  // The book station is online (or not) for this desk.
  void BookOnline(bool online = true) {
    Deliver(StatusMessage(Base, {book_, online, true, false, "", ""}));
  }
  // What it published since last asked, oldest first.
  std::vector<TMqttMessage> TakeSent() { return std::exchange(clients_.Published, {}); }

  // The phone book's entries as "number=name", by number.
  std::vector<std::string> Entries() {
    std::vector<std::string> entries;
    Run([&] {
      const auto rows = PhoneBook().Search("");
      for (int i = 0; i < rows->Count(); ++i)
        entries.push_back((*rows)[i].GetValue("phone_number") + "=" +
                          (*rows)[i].GetValue("owner_name"));
    });
    std::sort(entries.begin(), entries.end());
    return entries;
  }
  // An edit made on this PC, as the phone list saves or deletes.
  void Save(const std::string& number, const std::string& name) {
    Run([&] {
      TTableRow entry;
      entry.SetValue("phone_number", number);
      entry.SetValue("owner_name", name);
      PhoneBook().Save(entry);
    });
  }
  void Delete(const std::string& number) {
    Run([&] { PhoneBook().Delete({number}); });
  }

  std::unique_ptr<TOfficeBook> office;
  // The answer to the question of a desk joining with entries of its own.
  bool OfferOnJoin = true;

private:
  // Runs `fn` with the program stopped and its database closed.
  template <typename Fn> void Closed(Fn&& fn) {
    Stop();
    db_.reset();
    fn();
    db_ = OpenCtiDb(File());
    Start();
  }

  // Puts this PC's database and edit hook in place for its lifetime.
  class TAsThisPc {
  public:
    explicit TAsThisPc(TBookPeer& peer) : peer_(peer) {
      std::swap(CtiDb, peer_.db_);
      PhoneBook().SetEditHook(peer_.hook_);
    }
    ~TAsThisPc() {
      peer_.hook_ = PhoneBook().EditHook();
      PhoneBook().SetEditHook(nullptr);
      std::swap(CtiDb, peer_.db_);
    }
    TAsThisPc(const TAsThisPc&) = delete;
    TAsThisPc& operator=(const TAsThisPc&) = delete;

  private:
    TBookPeer& peer_;
  };

  const std::string station_;
  const std::string book_;
  TTempFolder folder_;
  std::unique_ptr<TKsoCtiDb> db_;
  std::function<void(const TBookEdit&)> hook_;
  TFakeMqttClients clients_;
  TFakeMqttClients::TClient client_{clients_};
  std::shared_ptr<TQueuedPostTarget> post_ = std::make_shared<TQueuedPostTarget>();
};

// An office of such PCs with a book station named "book"; the test plays the
// broker that carries every message to every other PC.
class TBookOffice {
public:
  TBookOffice() : station(Add("book")) {}

  TBookPeer& Add(const std::string& name) {
    peers_.push_back(std::make_unique<TBookPeer>(name, "book"));
    return *peers_.back();
  }
  // A desk that joined with the book station online.
  TBookPeer& AddDesk(const std::string& name) {
    TBookPeer& desk = Add(name);
    desk.BookOnline();
    Flush();
    return desk;
  }
  // Carries what every PC published to every other, until none publishes more.
  void Flush() {
    for (bool carried = true; carried;) {
      carried = false;
      for (const auto& from : peers_)
        for (const TMqttMessage& message : from->TakeSent()) {
          carried = true;
          Broadcast(message, from.get());
        }
    }
  }
  void Broadcast(const TMqttMessage& message, const TBookPeer* from = nullptr) {
    for (const auto& to : peers_)
      if (to.get() != from)
        to->Deliver(message);
  }

private:
  std::vector<std::unique_ptr<TBookPeer>> peers_;

public:
  TBookPeer& station;
};
