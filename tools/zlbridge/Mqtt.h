// The bridge's connection to the MQTT broker, over libmosquitto. The library's
// own thread keeps the connection: it connects, reconnects with back-off after
// a loss, and hands what arrives to the bridge's thread through a queue whose
// descriptor becomes readable. Publishing is safe from the bridge's thread.
#ifndef ZL_ZLBRIDGE_MQTT_H
#define ZL_ZLBRIDGE_MQTT_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace zl::bridge {

struct BrokerOptions {
  std::string Host = "localhost";
  int Port = 1883;
  std::string ClientId;  // empty: "zlbridge-<line>"
  std::string Username, Password;
  std::string CaFile, CaPath, CertFile, KeyFile;
  bool Insecure = false;  // do not check the broker's host name against its certificate
  int KeepAliveSeconds = 30;
  int ReconnectMinSeconds = 1;  // the first wait after a loss; doubled up to the most
  int ReconnectMaxSeconds = 30;
  int Qos = 1;
};

// What the broker's thread hands over.
struct MqttEvent {
  enum class Kind { Connected, Disconnected, Message } What = Kind::Message;
  std::string Topic;
  std::string Payload;
  int Code = 0;  // the broker's answer to a connect, or the reason of a loss
};

class Mqtt {
 public:
  Mqtt();
  ~Mqtt();
  Mqtt(const Mqtt &) = delete;
  Mqtt &operator=(const Mqtt &) = delete;

  // Sets the client up (identity, credentials, TLS, the last will) and starts
  // connecting; false with a message when an option is refused. Once a
  // connect is under way the library's thread keeps the connection.
  bool Start(const BrokerOptions &options, const std::string &willTopic,
             const std::string &willPayload, std::string &error);
  // Publishes the last words itself (a clean end sends no will), disconnects
  // and joins the thread.
  void Stop(const std::string &topic, const std::string &payload);

  // A broker that could not be reached at all is tried again, with waits
  // doubling from ReconnectMinSeconds to ReconnectMaxSeconds; call it often.
  void Retry();

  // Readable while events wait.
  int EventFd() const { return eventFd_; }
  std::vector<MqttEvent> TakeEvents();

  bool Publish(const std::string &topic, const std::string &payload, bool retain);
  bool Subscribe(const std::string &pattern);

 private:
  static void OnConnect(mosquitto *m, void *self, int rc);
  static void OnDisconnect(mosquitto *m, void *self, int rc);
  static void OnMessage(mosquitto *m, void *self, const mosquitto_message *msg);
  void Push(MqttEvent e);
  bool TryConnect(std::string &error);

  mosquitto *m_ = nullptr;
  int eventFd_ = -1;
  int qos_ = 1;
  bool started_ = false;
  BrokerOptions options_;
  int retryWait_ = 1;
  std::chrono::steady_clock::time_point nextTry_{};
  std::mutex mutex_;
  std::deque<MqttEvent> events_;
};

}  // namespace zl::bridge

#endif  // ZL_ZLBRIDGE_MQTT_H
