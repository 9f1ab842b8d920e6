#include "share/ShareConnection.h"

#include "share/ShareTopics.h"
#include "share/Station.h"

TMqttOptions ShareClientOptions(const TShareSettings& settings, const std::string& station,
                                const TStationStatus& identity) {
  TMqttOptions options;
  options.Host = settings.Host;
  options.Port = settings.Port;
  options.User = settings.User;
  options.Password = settings.Password;
  options.CaFile = settings.CaFile;
  const bool receiving = settings.Mode == 2;
  options.ClientId = std::string("teloria2-") + (receiving ? "recv-" : "send-") + station;
  const std::string login = LoginName();
  if (!login.empty())
    options.ClientId += "-" + login;
  if (!receiving && !identity.Instance.empty())
    options.ClientId += "-" + identity.Instance;
  options.CleanSession = !receiving;
  const std::string& base = settings.Topic;
  if (receiving) {
    options.Subscriptions = {base + "/+/call", base + "/+/status",
                             ResponseTopic(base, "+", station)};
    options.Will = DeskMessage(base, station, false);
  } else {
    options.Subscriptions = {RequestTopic(base, station, "+"), StatusTopic(base, station)};
    TStationStatus offline = identity;
    offline.Station = station;
    offline.Online = false;
    options.Will = StatusMessage(base, offline);
  }
  // Topics a receiving desk has already are not subscribed twice: the
  // broker would deliver their messages twice.
  std::vector<std::string>& topics = options.Subscriptions;
  const std::string book = OfficeBookStation(settings, station);
  if (book == station) {
    if (receiving)
      topics.push_back(RequestTopic(base, station, "+"));
    topics.push_back(EditTopic(base, station, "+"));
  } else if (!book.empty()) {
    topics.push_back(BookTopic(base, book));
    topics.push_back(DeskTopic(base, book));
    if (!receiving) {
      topics.push_back(StatusTopic(base, book));
      topics.push_back(ResponseTopic(base, book, station));
    }
  }
  return options;
}

std::string OfficeBookStation(const TShareSettings& settings, const std::string& station) {
  if (settings.Mode != 1 && settings.Mode != 2)
    return {};
  if (settings.BookStation)
    return settings.BookStation->empty() ? "" : ShareStationName(*settings.BookStation);
  return settings.Mode == 1 ? station : "";
}

bool CredentialsInClear(const TShareSettings& settings) {
  return settings.CaFile.empty() && !(settings.User.empty() && settings.Password.empty()) &&
         !IsLocalHost(settings.Host);
}
