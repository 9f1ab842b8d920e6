#include "share/ShareConnection.h"

#include "share/ShareTopics.h"
#include "share/Station.h"

TMqttOptions ShareClientOptions(const TShareSettings& settings, const std::string& station) {
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
  options.CleanSession = !receiving;
  const std::string& base = settings.Topic;
  if (receiving) {
    options.Subscriptions = {base + "/+/call", base + "/+/status",
                             ResponseTopic(base, "+", station)};
    options.Will = DeskMessage(base, station, false);
  } else {
    options.Subscriptions = {RequestTopic(base, station)};
    options.Will = StatusMessage(base, station, false, false, false);
  }
  return options;
}

bool CredentialsInClear(const TShareSettings& settings) {
  return settings.CaFile.empty() && !(settings.User.empty() && settings.Password.empty()) &&
         !IsLocalHost(settings.Host);
}
