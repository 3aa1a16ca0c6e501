#include "zlbridge/Mqtt.h"

#include <mosquitto.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace zl::bridge {

namespace {

// libmosquitto wants one global set-up per process.
struct LibraryUse {
  LibraryUse() { mosquitto_lib_init(); }
  ~LibraryUse() { mosquitto_lib_cleanup(); }
};

std::string Why(int rc) {
  return mosquitto_strerror(rc);
}

}  // namespace

Mqtt::Mqtt() {
  static LibraryUse use;
  eventFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

Mqtt::~Mqtt() {
  if (m_) {
    if (started_) {
      mosquitto_disconnect(m_);
      mosquitto_loop_stop(m_, true);
    }
    mosquitto_destroy(m_);
  }
  if (eventFd_ >= 0) ::close(eventFd_);
}

bool Mqtt::Start(const BrokerOptions &o, const std::string &willTopic,
                 const std::string &willPayload, std::string &error) {
  qos_ = o.Qos;
  m_ = mosquitto_new(o.ClientId.c_str(), true, this);
  if (!m_) {
    error = "cannot create the MQTT client";
    return false;
  }
  mosquitto_connect_callback_set(m_, &Mqtt::OnConnect);
  mosquitto_disconnect_callback_set(m_, &Mqtt::OnDisconnect);
  mosquitto_message_callback_set(m_, &Mqtt::OnMessage);
  int rc = mosquitto_reconnect_delay_set(m_, static_cast<unsigned>(o.ReconnectMinSeconds),
                                         static_cast<unsigned>(o.ReconnectMaxSeconds), true);
  if (rc == MOSQ_ERR_SUCCESS && (!o.Username.empty() || !o.Password.empty()))
    rc = mosquitto_username_pw_set(m_, o.Username.c_str(),
                                   o.Password.empty() ? nullptr : o.Password.c_str());
  if (rc != MOSQ_ERR_SUCCESS) {
    error = "the broker's user name or password: " + Why(rc);
    return false;
  }
  if (!o.CaFile.empty() || !o.CaPath.empty()) {
    rc = mosquitto_tls_set(m_, o.CaFile.empty() ? nullptr : o.CaFile.c_str(),
                           o.CaPath.empty() ? nullptr : o.CaPath.c_str(),
                           o.CertFile.empty() ? nullptr : o.CertFile.c_str(),
                           o.KeyFile.empty() ? nullptr : o.KeyFile.c_str(), nullptr);
    if (rc == MOSQ_ERR_SUCCESS && o.Insecure) rc = mosquitto_tls_insecure_set(m_, true);
    if (rc != MOSQ_ERR_SUCCESS) {
      error = "the TLS options (--cafile, --capath, --cert, --key): " + Why(rc);
      return false;
    }
  } else if (!o.CertFile.empty() || !o.KeyFile.empty()) {
    error = "--cert and --key need --cafile or --capath";
    return false;
  }
  rc = mosquitto_will_set(m_, willTopic.c_str(), static_cast<int>(willPayload.size()),
                          willPayload.data(), qos_, true);
  if (rc != MOSQ_ERR_SUCCESS) {
    error = "the last will on " + willTopic + ": " + Why(rc);
    return false;
  }
  options_ = o;
  retryWait_ = o.ReconnectMinSeconds;
  // A broker that is not there yet is no error: Retry tries again.
  return TryConnect(error);
}

bool Mqtt::TryConnect(std::string &error) {
  const int rc =
      mosquitto_connect_async(m_, options_.Host.c_str(), options_.Port, options_.KeepAliveSeconds);
  if (rc != MOSQ_ERR_SUCCESS) {
    nextTry_ = std::chrono::steady_clock::now() + std::chrono::seconds(retryWait_);
    retryWait_ = std::min(retryWait_ * 2, options_.ReconnectMaxSeconds);
    return true;
  }
  // Once a connect is under way, the library's thread keeps the connection
  // and reconnects after a loss with its own back-off.
  const int started = mosquitto_loop_start(m_);
  if (started != MOSQ_ERR_SUCCESS) {
    error = "cannot start the MQTT client's thread: " + Why(started);
    return false;
  }
  started_ = true;
  return true;
}

void Mqtt::Retry() {
  if (!m_ || started_ || std::chrono::steady_clock::now() < nextTry_) return;
  std::string error;
  if (!TryConnect(error)) std::fprintf(stderr, "zlbridge: %s\n", error.c_str());
}

void Mqtt::Stop(const std::string &topic, const std::string &payload) {
  if (!m_ || !started_) return;
  int mid = 0;
  mosquitto_publish(m_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), qos_,
                    true);
  mosquitto_disconnect(m_);
  mosquitto_loop_stop(m_, false);
  started_ = false;
}

void Mqtt::Push(MqttEvent e) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(e));
  }
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(eventFd_, &one, sizeof one);
}

std::vector<MqttEvent> Mqtt::TakeEvents() {
  uint64_t count;
  [[maybe_unused]] ssize_t n = ::read(eventFd_, &count, sizeof count);
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<MqttEvent> out(std::make_move_iterator(events_.begin()),
                             std::make_move_iterator(events_.end()));
  events_.clear();
  return out;
}

void Mqtt::OnConnect(mosquitto *, void *self, int rc) {
  static_cast<Mqtt *>(self)->Push({MqttEvent::Kind::Connected, {}, {}, rc});
}

void Mqtt::OnDisconnect(mosquitto *, void *self, int rc) {
  static_cast<Mqtt *>(self)->Push({MqttEvent::Kind::Disconnected, {}, {}, rc});
}

void Mqtt::OnMessage(mosquitto *, void *self, const mosquitto_message *msg) {
  std::string payload;
  if (msg->payload && msg->payloadlen > 0)
    payload.assign(static_cast<const char *>(msg->payload), static_cast<size_t>(msg->payloadlen));
  static_cast<Mqtt *>(self)->Push({MqttEvent::Kind::Message, msg->topic, std::move(payload), 0});
}

bool Mqtt::Publish(const std::string &topic, const std::string &payload, bool retain) {
  if (!started_) return false;
  // With QoS 1 the library keeps what cannot go now and sends it after a
  // reconnect; the bridge also publishes its whole state again then.
  return mosquitto_publish(m_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                           payload.data(), qos_, retain) == MOSQ_ERR_SUCCESS;
}

bool Mqtt::Subscribe(const std::string &pattern) {
  return mosquitto_subscribe(m_, nullptr, pattern.c_str(), qos_) == MOSQ_ERR_SUCCESS;
}

}  // namespace zl::bridge
