#include "core/OfficeBook.h"

#include "base/Clock.h"
#include "base/DateTime.h"
#include "data/CsvRow.h"
#include "data/KsoCtiDb.h"
#include "platform/ProgramPaths.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "share/CallMessage.h"
#include "share/ShareTopics.h"

#include <QJsonDocument>
#include <charconv>
#include <fmt/printf.h>
#include <random>

namespace {

// Answers larger than this are cut into more pages.
constexpr qsizetype kPageBytes = 1024 * 1024;

const char* const KindNames[] = {"save", "delete", "import", "register"};

TBookEntry EntryOf(const TTableRow& row) {
  return {row.GetValue("phone_number"), row.GetValue("owner_name"), row.GetValue("memo1"),
          row.GetValue("memo2"),        row.GetValue("memo3"),      row.GetValue("created_date"),
          row.GetValue("last_updated")};
}

TTableRow RowOf(const TBookEntry& e) {
  TTableRow row;
  row.SetValue("phone_number", e.Number);
  row.SetValue("owner_name", e.OwnerName);
  row.SetValue("memo1", e.Memo1);
  row.SetValue("memo2", e.Memo2);
  row.SetValue("memo3", e.Memo3);
  row.SetValue("created_date", e.Created);
  row.SetValue("last_updated", e.Updated);
  return row;
}

TBookChange ChangeOf(const TBookEdit& edit, const std::string& station) {
  TBookChange change;
  change.Kind = KindNames[static_cast<int>(edit.Kind)];
  for (const TTableRow& entry : edit.Entries)
    change.Entries.push_back(EntryOf(entry));
  change.Numbers = edit.Numbers;
  change.Station = station;
  change.Edited = NowDateText();
  return change;
}

TBookEdit EditOf(const TBookChange& change) {
  TBookEdit edit;
  const auto kind = std::find(std::begin(KindNames), std::end(KindNames), change.Kind);
  edit.Kind = static_cast<TBookEdit::TKind>(kind - std::begin(KindNames));
  for (const TBookEntry& entry : change.Entries)
    edit.Entries.push_back(RowOf(entry));
  edit.Numbers = change.Numbers;
  return edit;
}

// The numbers an edit saves or deletes.
std::set<std::string> NumbersOf(const TBookChange& change) {
  std::set<std::string> numbers(change.Numbers.begin(), change.Numbers.end());
  for (const TBookEntry& entry : change.Entries)
    numbers.insert(entry.Number);
  return numbers;
}

std::string Json(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

bool IsBookSubject(const std::string& what) {
  return what == BookEditSubject || what == BookChangesSubject || what == WholeBookSubject;
}

int64_t Int64Of(const std::string& text) {
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Entries of a change that break the phone book's limits never stop the
// rest of it; each is told here.
void LogSkipped(const TBookChange& change, const std::string& from) {
  for (const std::string& skipped : change.Skipped)
    LogFmt(llWarning, "電話帳の共有の項目を読み飛ばしました。%s [詳細] %s", from, skipped);
}

// An edit as the outbox keeps it. One kept before the entry limits were
// checked, or damaged, goes without what cannot travel (as an edit of
// nothing at worst), so that the edits after it are never held behind it.
TBookChange OutboxChange(const TTableRow& row, const std::string& station) {
  const std::string seq = row.GetValue("seq");
  try {
    TBookChange change = BookChangeOf(ShareJsonObject(row.GetValue("change")));
    LogSkipped(change, fmt::sprintf("送信待ち=%s", seq));
    return change;
  } catch (const ECallMessageError& e) {
    LogFmt(llError,
           "送信待ちの電話帳の変更を読めないため、内容なしで送ります。送信待ち=%s [詳細] %s", seq,
           e.Message());
    return {"save", {}, {}, station, NowDateText()};
  }
}

TKsoCtiDb& Db() {
  if (!CtiDb)
    throw Exception("データベースが開かれていません。");
  return *CtiDb;
}

std::unique_ptr<TTableRow> BookState() {
  std::unique_ptr<TTableRow> state = Db().GetBookState();
  if (!state)
    throw Exception("電話帳の共有状態を読めません。");
  return state;
}

// A book's id: 16 random hex digits.
std::string NewBookId() {
  std::random_device random;
  return fmt::format("{:08x}{:08x}", random(), random());
}

} // namespace

TOfficeBook::TOfficeBook(IMqttClient& client, TPostTargetPtr owner, std::string base,
                         std::string station, std::string book)
    : client_(client), owner_(std::move(owner)), base_(std::move(base)),
      station_(std::move(station)), book_(std::move(book)), desk_(DeskId(station_)),
      requests_(desk_) {
  const std::unique_ptr<TTableRow> state = BookState();
  bookId_ = state->GetValue("book_id");
  if (state->GetValue("book") == book_) {
    // A desk that knows no id of the book (a copy of a database, or one
    // older than the ids) takes it whole again; its edits stay.
    version_ = Holds() || !bookId_.empty() ? Int64Of(state->GetValue("version")) : -1;
  } else {
    // A book this copy has not followed: the station begins it at version
    // 0, a desk (-1) takes it whole and offers it what it lacks.
    version_ = Holds() ? 0 : -1;
    bookId_.clear();
    TTransaction transaction = Db().Transaction();
    Db().SetBookState(book_, version_);
    Db().SetBookId(bookId_);
    Db().SetBookPublished(0);
    Db().ClearBookOutbox();
    Db().ClearBookChanges();
    transaction.Commit();
  }
  // The station's own book, begun or found in a copy of its database: a
  // new id, so that no desk applies its versions to another book's.
  if (Holds() && bookId_.empty()) {
    bookId_ = NewBookId();
    Db().SetBookId(bookId_);
  }
  // What was committed and not yet sent when the program ended goes when
  // connected.
  published_ = Holds() ? Int64Of(BookState()->GetValue("published")) : version_;
  if (Holds())
    PhoneBook().SetEditHook([this](const TBookEdit& edit) { RecordEdit(edit); });
  else
    PhoneBook().SetEditHook([this](const TBookEdit& edit) { JournalEdit(edit); });
  LogFmt(llInfo, "事務所の電話帳を使います。電話帳=[%s] 版=%d", book_, static_cast<int>(version_));
  OfficeChanged();
}

TOfficeBook::~TOfficeBook() {
  PhoneBook().SetEditHook(nullptr);
}

std::string TOfficeBook::DeskId(const std::string& station) {
  return station + "-" + BookState()->GetValue("token");
}

void TOfficeBook::Post(std::function<void()> fn) {
  owner_->Post([alive = std::weak_ptr<bool>(alive_), fn = std::move(fn)] {
    if (alive.lock())
      fn();
  });
}

void TOfficeBook::OfficeChanged() {
  try {
    PhoneBook().OfficeChanged();
  } catch (const std::exception& e) {
    LogException(llWarning, "電話帳の共有状態を表示できません。", e);
  }
}

void TOfficeBook::Connected() {
  online_.clear();
  sentSeq_ = 0;
  if (Holds())
    PublishNew();
}

bool TOfficeBook::Take(const TMqttMessage& message) {
  const TShareTopic topic = ParseShareTopic(base_, message.Topic);
  using TKind = TShareTopic::TKind;
  try {
    const bool edit = topic.Kind == TKind::Edit;
    if (Holds() && (topic.Kind == TKind::Request || edit) && topic.Station == station_) {
      // A kept request would be served again to every new connection.
      if (message.Retain)
        return false;
      const TShareRequest request = DecodeShareRequestFrom(topic.Desk, message.Payload);
      if (!IsBookSubject(request.What))
        return false;
      // An edit only by the edit topic, which the access list keeps from
      // read-only accounts.
      if ((request.What == BookEditSubject) != edit)
        throw ECallMessageError("電話帳の変更は edit の Topic でのみ受け付けます");
      if (RequestAllowed(requestLimit_, request))
        Serve(request);
      return true;
    }
    if (Holds())
      return false;
    if ((topic.Kind == TKind::Status && topic.Station == book_) ||
        (topic.Kind == TKind::Desk && topic.Desk == book_)) {
      BookStatus(message);
      return false;
    }
    if (topic.Kind == TKind::Book && topic.Station == book_) {
      if (!whole_ && !TakeVersion(DecodeBookVersion(message.Payload)))
        CatchUp();
      return true;
    }
    if (topic.Kind == TKind::Response && topic.Station == book_ && topic.Desk == station_) {
      const TShareResponse response = DecodeShareResponse(message.Payload);
      if (!IsBookSubject(response.What))
        return false;
      TakeAnswer(response);
      return true;
    }
  } catch (const ECallMessageError& e) {
    LogFmt(llWarning, "電話帳の共有メッセージを読み取れません。Topic=[%s] [詳細] %s",
           WithoutControlCharacters(message.Topic), e.Message());
    return true;
  } catch (const std::exception& e) {
    LogException(llError, "電話帳の共有メッセージを処理できません。", e);
    return true;
  }
  return false;
}

void TOfficeBook::Tick() {
  if (Holds())
    return;
  const TDateTime now = Now();
  const TDateTime since = now - AnswerWaitSeconds / 86400;
  for (const auto& [station, request] : requests_.Overdue(since, now))
    client_.Publish({RequestTopic(base_, station, station_), EncodeShareRequest(request), false});
  if (sentSeq_ != 0 && sentAt_ < since) {
    sentSeq_ = 0; // unconfirmed: all of it again, in order
    SendOutbox();
  }
}

// ---- The book station ----

// Inside the edit's transaction: the edit becomes the next version.
void TOfficeBook::RecordEdit(const TBookEdit& edit) {
  TBookVersion version{CurrentVersion() + 1, {}, 0, ChangeOf(edit, station_), bookId_};
  if (applying_) {
    version.Desk = applying_->Desk;
    version.Seq = applying_->Seq;
    version.Change.Station = applying_->Change.Station;
    version.Change.Edited = applying_->Change.Edited;
    Db().SetBookDeskSeq(applying_->Desk, applying_->Seq);
    recorded_ = true;
  }
  Db().AddBookChange(version.Version, EncodeBookVersion(version), KeptChanges);
  Db().SetBookState(book_, version.Version);
  // Taken as the version only once committed: a failed edit leaves it.
  Post([this] { PublishNew(); });
}

// What was committed and not yet published, in order.
int64_t TOfficeBook::CurrentVersion() {
  const std::unique_ptr<TTableRow> state = Db().GetBookState();
  return state ? Int64Of(state->GetValue("version")) : 0;
}

void TOfficeBook::PublishNew() {
  try {
    version_ = CurrentVersion();
    while (published_ < version_) {
      const auto rows = Db().GetBookChangesAfter(published_, PageChanges);
      if (rows->Count() == 0)
        break;
      for (int i = 0; i < rows->Count(); ++i) {
        client_.Publish({BookTopic(base_, book_), (*rows)[i].GetValue("change"), false});
        published_ = Int64Of((*rows)[i].GetValue("version"));
      }
    }
    published_ = version_;
    Db().SetBookPublished(published_);
    OfficeChanged();
  } catch (const std::exception& e) {
    LogException(llError, "電話帳の変更を共有できません。", e);
  }
}

void TOfficeBook::Serve(const TShareRequest& request) {
  if (request.What == BookEditSubject) {
    ApplyDeskEdit(request);
    return;
  }
  bool more = false;
  QJsonArray items = request.What == BookChangesSubject
                         ? ChangesAfter(VersionOf(request.After), more)
                         : WholePage(request.After, more);
  Answer(request, std::move(items), more);
}

// Each desk's edits once each and in its order: an edit seen already is
// only confirmed again, one after a missing edit waits for it. A desk id
// new here begins at its first edit: any other is someone else's number
// under a made-up id. The answer tells the last of the desk's edits applied.
void TOfficeBook::ApplyDeskEdit(const TShareRequest& request) {
  TDeskEdit edit = DeskEditOf(request.After);
  if (edit.Desk != request.Desk)
    throw ECallMessageError("変更の desk が依頼と違います");
  LogSkipped(edit.Change, fmt::sprintf("端末=[%s]", WithoutControlCharacters(edit.Desk)));
  const int64_t last = Db().GetBookDeskSeq(edit.Desk);
  if (last < 0 && edit.Seq != 1) {
    LogFmt(llWarning, "知らない端末の途中の変更は受け付けません。端末=[%s] seq=%d",
           WithoutControlCharacters(edit.Desk), static_cast<int>(edit.Seq));
    return;
  }
  int64_t confirmed = last;
  if ((last < 0 || edit.Seq == last + 1) && !EntriesAllowed(request, edit))
    return; // unanswered: sent again later
  if (last < 0 || edit.Seq == last + 1) {
    LogFmt(llInfo, "端末からの電話帳の変更を反映します。端末=[%s] 種類=[%s]",
           WithoutControlCharacters(edit.Desk), edit.Change.Kind);
    applying_ = std::move(edit);
    recorded_ = false;
    PhoneBook().SetEditsFromOffice(true);
    try {
      TTransaction transaction = Db().Transaction();
      ApplyChange(applying_->Change);
      if (!recorded_) // nothing to change: the edit is done all the same
        Db().SetBookDeskSeq(applying_->Desk, applying_->Seq);
      transaction.Commit();
      confirmed = applying_->Seq;
    } catch (const std::exception& e) {
      LogException(llError, "端末からの電話帳の変更を反映できません。", e);
    }
    PhoneBook().SetEditsFromOffice(false);
    applying_.reset();
  }
  Answer(request, QJsonArray{SeqJson(confirmed < 0 ? 0 : confirmed)}, false);
}

bool TOfficeBook::EntriesAllowed(const TShareRequest& request, const TDeskEdit& edit) {
  const size_t entries = edit.Change.Entries.size() + edit.Change.Numbers.size();
  const TRateLimit::TVerdict verdict =
      entryLimit_.Spend(request.Desk, static_cast<double>(entries));
  if (verdict != TRateLimit::TVerdict::Allowed)
    LogFmt(verdict == TRateLimit::TVerdict::Refused ? llWarning : llDebug,
           "端末からの電話帳の変更が1分あたりの上限 (%d 件) を超えるため、後で受け付けます。"
           "端末=[%s] 件数=%d",
           static_cast<int>(DeskEntriesPerMinute), WithoutControlCharacters(request.Desk),
           static_cast<int>(entries));
  return verdict == TRateLimit::TVerdict::Allowed;
}

// Under the rules and the limit of this PC's book; its own commands stay.
void TOfficeBook::ApplyChange(const TBookChange& change) {
  TPhoneBook& book = PhoneBook();
  const int limit = AppSettings.PhoneLimit;
  if (change.Kind == "delete") {
    book.Delete(change.Numbers);
  } else if (change.Kind == "import") {
    TCsvRows records;
    for (const TBookEntry& e : change.Entries) {
      auto record = std::make_unique<TCsvRow>();
      for (const std::string* field : {&e.Number, &e.OwnerName, &e.Memo1, &e.Memo2, &e.Memo3})
        record->Add(*field);
      records.Add(std::move(record));
    }
    book.Import(records, limit, true);
    book.Reloaded();
  } else {
    for (const TBookEntry& e : change.Entries) {
      const std::unique_ptr<TTableRow> stored = book.Find(e.Number);
      TTableRow entry = RowOf(e);
      entry.SetValue("exec_cmd", stored ? stored->GetValue("exec_cmd") : "");
      if (!stored && book.IsFull(limit)) {
        LogFmt(llError, "電話番号登録件数が %d 件に達しているため登録できません。", limit);
      } else if (change.Kind == "save") {
        book.Save(entry);
      } else if (!stored) {
        entry.SetValue("created_date", NowDateText());
        entry.SetValue("last_updated", entry.GetValue("created_date"));
        book.Register(entry);
        book.Reloaded();
      }
    }
  }
  // What the book could not take (its limit) the desk holds already: every
  // desk drops it again, so that all end alike.
  std::vector<std::string> refused;
  for (const TBookEntry& e : change.Entries)
    if (!book.Find(e.Number))
      refused.push_back(e.Number);
  if (!refused.empty())
    book.Delete(refused);
}

QJsonArray TOfficeBook::ChangesAfter(int64_t version, bool& more) {
  QJsonArray items;
  const int64_t current = CurrentVersion();
  const int64_t oldest = Db().GetOldestBookChange();
  if (version == current)
    return items;
  // A version this book never had: it was begun anew.
  if (version > current)
    return QJsonArray{QJsonObject{{"whole", true}, {"new", true}}};
  // Changes no longer kept.
  if (oldest == 0 || version < oldest - 1)
    return QJsonArray{QJsonObject{{"whole", true}}};
  const auto rows = Db().GetBookChangesAfter(version, PageChanges);
  qsizetype bytes = 0;
  for (int i = 0; i < rows->Count() && bytes < kPageBytes; ++i) {
    const std::string text = (*rows)[i].GetValue("change");
    bytes += static_cast<qsizetype>(text.size());
    items.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(text)).object());
  }
  more = items.size() < rows->Count() || rows->Count() == PageChanges;
  return items;
}

// The version first, then the entries after the number, by number.
QJsonArray TOfficeBook::WholePage(const QJsonValue& after, bool& more) {
  if (!after.isString())
    throw ECallMessageError("after が正しくありません");
  QJsonArray items{VersionJson(CurrentVersion())};
  const auto rows = Db().GetPhoneNumbersAfter(after.toString().toStdString(), PageEntries);
  for (int i = 0; i < rows->Count(); ++i)
    items.push_back(BookEntryJson(EntryOf((*rows)[i])));
  more = rows->Count() == PageEntries;
  return items;
}

void TOfficeBook::Answer(const TShareRequest& request, QJsonArray items, bool more) {
  const TShareResponse response{request.Id, station_,     request.What, std::move(items),
                                more,       request.Desk, bookId_,      request.Deflate};
  client_.Publish(
      {AnswerTopic(base_, station_, request.Desk), EncodeShareResponse(response), false});
}

// ---- A desk ----

// Inside the edit's transaction: kept until the book station confirms it.
void TOfficeBook::JournalEdit(const TBookEdit& edit) {
  Db().AddBookOutbox(book_, Json(BookChangeJson(ChangeOf(edit, station_))));
  Post([this] {
    OfficeChanged();
    SendOutbox();
  });
}

void TOfficeBook::SendOutbox() {
  if (online_.empty())
    return;
  try {
    const auto rows = Db().GetBookOutbox(book_);
    for (int i = 0; i < rows->Count(); ++i) {
      const int64_t seq = Int64Of((*rows)[i].GetValue("seq"));
      if (seq <= sentSeq_)
        continue;
      const TDeskEdit edit{desk_, seq, OutboxChange((*rows)[i], station_)};
      const TShareRequest request{fmt::format("{}-{}", desk_, seq), desk_, BookEditSubject,
                                  DeskEditJson(edit)};
      client_.Publish({EditTopic(base_, book_, station_), EncodeShareRequest(request), false});
      sentSeq_ = seq;
      sentTop_ = std::max(sentTop_, seq);
      sentAt_ = Now();
    }
  } catch (const std::exception& e) {
    LogException(llError, "電話帳の変更を送れません。", e);
  }
}

// The book station's status, or its desk's: back online, it is asked for
// what this desk missed and sent what this desk kept.
void TOfficeBook::BookStatus(const TMqttMessage& message) {
  const bool online = StatusSaysOnline(message.Payload);
  const bool was = !online_.empty();
  if (online)
    online_.insert(message.Topic);
  else
    online_.erase(message.Topic);
  if (online_.empty()) {
    requests_.Forget(book_);
    whole_.reset();
  } else if (!was) {
    sentSeq_ = 0;
    CatchUp();
    SendOutbox();
  }
}

void TOfficeBook::CatchUp() {
  if (online_.empty() || whole_)
    return;
  if (version_ >= 0)
    Ask(BookChangesSubject, VersionJson(version_));
  else
    TakeWhole(true);
}

// A desk joining a book (or one the book station began anew) keeps its own
// first: nothing of it is lost.
void TOfficeBook::TakeWhole(bool joining) {
  LogFmt(llInfo, "事務所の電話帳を全件取り寄せます。電話帳=[%s]", book_);
  whole_ = TWhole{};
  whole_->Joining = joining;
  if (joining && PhoneBook().Count() > 0) {
    whole_->Exported = fmt::format("{}/teloria2-own-book-{}.csv", ProgramFolder(),
                                   FormatDateTime("yyyymmdd-hhnnss", Now()));
    PhoneBook().ExportFile(whole_->Exported);
    LogFmt(llInfo, "事務所の電話帳に加わる前にこの端末の電話帳を書き出しました。File=[%s]",
           whole_->Exported);
  }
  Ask(WholeBookSubject, QString());
}

void TOfficeBook::Ask(const char* what, QJsonValue after) {
  if (auto request = requests_.Ask(book_, what, std::move(after), Now()))
    client_.Publish({RequestTopic(base_, book_, station_), EncodeShareRequest(*request), false});
}

// Only answers to this database's own requests count.
void TOfficeBook::TakeAnswer(const TShareResponse& response) {
  if (response.Desk != desk_ || !SameBook(response.BookId))
    return;
  if (response.What == BookEditSubject) {
    TakeEditAnswer(response);
    return;
  }
  const auto answered = requests_.Answered(response);
  if (!answered)
    return;
  if (response.What == BookChangesSubject)
    TakeChanges(response.Items, response.More || answered->AskAgain);
  else
    TakeWholePage(response.Items, response.More, response.BookId);
}

// The edits confirmed go, never one not sent yet. A confirmation beyond
// every edit this database made tells that another database has its desk
// id (a copy of it, written over the file): it takes an id of its own and
// sends its edits again under it.
void TOfficeBook::TakeEditAnswer(const TShareResponse& response) {
  if (response.Items.isEmpty() || !SentHere(response.Id))
    return;
  const int64_t seq = SeqOf(response.Items.first());
  if (seq > Db().GetBookOutboxTop()) {
    AnotherHasThisDeskId();
    return;
  }
  Db().DeleteBookOutboxUpTo(std::min(seq, sentTop_));
  OfficeChanged();
}

// An edit request of this run: "<desk id>-<seq>".
bool TOfficeBook::SentHere(const std::string& id) const {
  const std::string prefix = desk_ + "-";
  if (id.size() <= prefix.size() || id.compare(0, prefix.size(), prefix) != 0)
    return false;
  const std::string seq = id.substr(prefix.size());
  return seq.find_first_not_of("0123456789") == std::string::npos && Int64Of(seq) >= 1 &&
         Int64Of(seq) <= sentTop_;
}

// A book of another id (begun anew, or a station's database replaced or
// restored) is joined again, as a new desk: nothing of it is applied on
// top of the book this copy holds.
bool TOfficeBook::SameBook(const std::string& bookId) {
  if (bookId.empty() || bookId_.empty() || bookId == bookId_)
    return true;
  LogFmt(llWarning, "事務所の電話帳が別の電話帳に替わりました。加わり直します。電話帳=[%s]", book_);
  RenewDesk();
  bookId_.clear();
  version_ = -1;
  whole_.reset();
  requests_.Forget(book_);
  OfficeChanged();
  CatchUp();
  return false;
}

void TOfficeBook::AnotherHasThisDeskId() {
  LogFmt(llWarning, "この端末の識別子が別のデータベースでも使われています。作り直します。端末=[%s]",
         desk_);
  RenewDesk();
  SendOutbox();
}

// A version of this desk id's edit that no edit of this database made:
// beyond them, or other entries than the edit of its number holds.
bool TOfficeBook::ForeignEdit(int64_t seq, const TBookChange& change) {
  if (seq > Db().GetBookOutboxTop())
    return true;
  const auto rows = Db().GetBookOutbox(book_);
  for (int i = 0; i < rows->Count(); ++i) {
    if (Int64Of((*rows)[i].GetValue("seq")) != seq)
      continue;
    const std::set<std::string> ours = NumbersOf(BookChangeOf(
        QJsonDocument::fromJson(QByteArray::fromStdString((*rows)[i].GetValue("change")))
            .object()));
    const std::set<std::string> applied = NumbersOf(change);
    return !std::includes(ours.begin(), ours.end(), applied.begin(), applied.end());
  }
  return false;
}

// Its edits not confirmed go again, as a new desk's, from 1.
void TOfficeBook::RenewDesk() {
  Db().RenewBookToken(BookState()->GetValue("home"));
  desk_ = DeskId(station_);
  requests_ = TShareRequests(desk_);
  sentSeq_ = 0;
  sentTop_ = 0;
}

// The next version in order: applied, and the desk's own edit it came from
// confirmed. False for a version after a missing one.
bool TOfficeBook::TakeVersion(const TBookVersion& v) {
  if (!SameBook(v.BookId))
    return false;
  if (v.Version <= version_)
    return true;
  if (v.Version != version_ + 1)
    return false;
  bool own = v.Desk == desk_;
  if (own && ForeignEdit(v.Seq, v.Change)) {
    AnotherHasThisDeskId();
    own = false;
  }
  LogSkipped(v.Change, fmt::sprintf("版=%d", static_cast<int>(v.Version)));
  PhoneBook().ApplyOffice(EditOf(v.Change), [&] {
    Db().SetBookState(book_, v.Version);
    if (own)
      Db().DeleteBookOutboxUpTo(std::min(v.Seq, sentTop_));
  });
  version_ = v.Version;
  OfficeChanged();
  return true;
}

void TOfficeBook::TakeChanges(const QJsonArray& items, bool more) {
  if (items.size() == 1 && items.first().toObject().value("whole").toBool()) {
    // Too far behind, the entries the book lacks were deleted there; a book
    // begun anew is joined.
    TakeWhole(items.first().toObject().value("new").toBool());
    return;
  }
  for (const QJsonValue& item : items)
    if (!TakeVersion(BookVersionOf(item)))
      break;
  if (more || !items.isEmpty())
    CatchUp();
}

void TOfficeBook::TakeWholePage(const QJsonArray& items, bool more, const std::string& bookId) {
  if (!whole_ || items.isEmpty())
    return;
  try {
    if (whole_->Version < 0) {
      whole_->Version = VersionOf(items.first());
      whole_->BookId = bookId;
    } else if (bookId != whole_->BookId) {
      // Another book since the first page: from its first page again.
      whole_ = TWhole{-1, {}, {}, whole_->Joining, whole_->Exported};
      Ask(WholeBookSubject, QString());
      return;
    }
    TBookEdit page{TBookEdit::TKind::Import, {}, {}};
    for (qsizetype i = 1; i < items.size(); ++i)
      TakeWholeEntry(items[i], page);
    PhoneBook().ApplyOffice(page, nullptr);
    // On from the last entry sent, taken or not.
    const QJsonValue last = items.last().toObject().value("number");
    if (more && items.size() > 1 && last.isString())
      Ask(WholeBookSubject, last.toString());
    else
      FinishWhole();
  } catch (...) {
    // The transfer ends, so that live versions count again and the next
    // catch-up begins it anew.
    whole_.reset();
    throw;
  }
}

void TOfficeBook::TakeWholeEntry(const QJsonValue& item, TBookEdit& page) {
  try {
    page.Entries.push_back(RowOf(BookEntryOf(item)));
    whole_->Numbers.insert(page.Entries.back().GetValue("phone_number"));
  } catch (const ECallMessageError& e) {
    LogFmt(
        llWarning, "電話帳の共有の項目を読み飛ばしました。全件 [詳細] [%s] %s",
        WithoutControlCharacters(item.toObject().value("number").toString().left(40).toStdString()),
        e.Message());
  }
}

// The book is here: the entries it lacks were deleted in the office, or,
// for a desk joining it, are offered to it; then what changed meanwhile.
void TOfficeBook::FinishWhole() {
  TWhole whole = std::move(*whole_);
  whole_.reset();
  std::set<std::string> unconfirmed;
  const auto outbox = Db().GetBookOutbox(book_);
  for (int i = 0; i < outbox->Count(); ++i)
    for (const TBookEntry& e : OutboxChange((*outbox)[i], station_).Entries)
      unconfirmed.insert(e.Number);
  std::vector<std::string> lacking;
  const auto all = PhoneBook().Search("");
  for (int i = 0; i < all->Count(); ++i) {
    const std::string number = (*all)[i].GetValue("phone_number");
    if (whole.Numbers.count(number) == 0 && unconfirmed.count(number) == 0)
      lacking.push_back(number);
  }
  TBookEdit gone{
      TBookEdit::TKind::Delete, {}, whole.Joining ? std::vector<std::string>{} : lacking};
  PhoneBook().ApplyOffice(gone, [&] {
    Db().SetBookState(book_, whole.Version);
    Db().SetBookId(whole.BookId);
  });
  version_ = whole.Version;
  bookId_ = whole.BookId;
  LogFmt(llInfo, "事務所の電話帳を全件取り寄せました。電話帳=[%s] 版=%d 件数=%d", book_,
         static_cast<int>(version_), static_cast<int>(whole.Numbers.size()));
  OfficeChanged();
  if (whole.Joining && !lacking.empty())
    Post([this, lacking, exported = whole.Exported] { AskJoin(lacking, exported); });
  CatchUp();
}

// Asked outside the message that finished the book: the question waits
// for the user while the messages go on.
void TOfficeBook::AskJoin(std::vector<std::string> numbers, std::string exported) {
  try {
    const bool offer = OnJoinQuestion && OnJoinQuestion(static_cast<int>(numbers.size()), exported);
    TBookEdit edit{offer ? TBookEdit::TKind::Import : TBookEdit::TKind::Delete, {}, {}};
    for (const std::string& number : numbers)
      if (const auto entry = PhoneBook().Find(number))
        edit.Entries.push_back(*entry);
    if (offer) {
      TTransaction transaction = Db().Transaction();
      JournalEdit(edit);
      transaction.Commit();
    } else {
      for (const TTableRow& entry : edit.Entries)
        edit.Numbers.push_back(entry.GetValue("phone_number"));
      edit.Entries.clear();
      PhoneBook().ApplyOffice(edit, nullptr);
    }
    LogFmt(llInfo, "この端末の電話帳にだけあった %d 件を%s。", static_cast<int>(numbers.size()),
           offer ? "事務所の電話帳に送ります" : "この端末の電話帳から外しました");
  } catch (const std::exception& e) {
    LogException(llError, "この端末の電話帳を事務所の電話帳に加えられません。", e);
  }
}
