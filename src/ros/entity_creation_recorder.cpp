// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/entity_creation_recorder.hpp"

#include <rcutils/error_handling.h>
#include <rcutils/logging.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tavrinox_camera_convertor
{
namespace
{

/// rcl's debug lines around the creation of an entity (rcl/src/rcl/publisher.c and its kin).
constexpr std::pair<const char *, const char *> kStarts[] = {
  {"Initializing publisher for topic name '", "publish"},
  {"Initializing subscription for topic name '", "subscribe to"},
  {"Initializing service for service name '", "serve"},
  {"Initializing client for service name '", "call"}};
constexpr const char * kResolved[] = {
  "Expanded and remapped topic name '", "Expanded and remapped service name '"};
constexpr const char * kDone[] = {
  "Publisher initialized", "Subscription initialized", "Service initialized",
  "Client initialized"};

/// The one recorder that follows, shared with the output handler, which is a plain function.
struct Following
{
  std::mutex mutex;
  std::thread::id thread;
  rcutils_logging_output_handler_t forward = nullptr;
  int rcl_level = RCUTILS_LOG_SEVERITY_UNSET;
  int rcl_effective_level = RCUTILS_LOG_SEVERITY_INFO;
  std::optional<RefusedEntity> pending;
  std::vector<RefusedEntity> refused;
  std::function<std::string(const RefusedEntity &)> crash_line;
};
Following g_following;

/// What a crash of the recording thread while it creates a subscription writes before the process
/// ends with status 1: rmw_fastrtps_cpp of Humble dereferences the reader that the middleware
/// refused to create, so a refused subscription is a SIGSEGV there.
char g_crash_line[4096];
volatile std::sig_atomic_t g_crash_line_length = 0;
volatile pid_t g_recording_thread = 0;
struct sigaction g_previous_segv;

void on_segv(int, siginfo_t *, void *)
{
  if (g_crash_line_length > 0 && static_cast<pid_t>(syscall(SYS_gettid)) == g_recording_thread) {
    if (write(STDERR_FILENO, g_crash_line, static_cast<std::size_t>(g_crash_line_length)) < 0) {
      _exit(1);
    }
    _exit(1);
  }
  // Not a refused subscription: the fault happens again, under the handler there was before.
  sigaction(SIGSEGV, &g_previous_segv, nullptr);
}

/// Called with the mutex held whenever the pending entity changes.
void prepare_crash_line()
{
  g_crash_line_length = 0;
  if (!g_following.crash_line || !g_following.pending ||
    g_following.pending->verb != "subscribe to")
  {
    return;
  }
  const std::string line = g_following.crash_line(*g_following.pending);
  const std::size_t length = std::min(line.size(), sizeof g_crash_line);
  std::memcpy(g_crash_line, line.data(), length);
  g_crash_line_length = static_cast<std::sig_atomic_t>(length);
}

std::string quoted(const std::string & line, const char * prefix)
{
  const std::string rest = line.substr(std::strlen(prefix));
  return rest.substr(0, rest.rfind('\''));
}

void note(const std::string & line)
{
  const std::lock_guard<std::mutex> lock(g_following.mutex);
  for (const auto & [prefix, verb] : kStarts) {
    if (line.rfind(prefix, 0) == 0) {
      if (g_following.pending) {
        g_following.refused.push_back(*g_following.pending);
      }
      g_following.pending = RefusedEntity{verb, quoted(line, prefix)};
      prepare_crash_line();
      return;
    }
  }
  for (const char * prefix : kResolved) {
    if (line.rfind(prefix, 0) == 0 && g_following.pending) {
      g_following.pending->name = quoted(line, prefix);
      prepare_crash_line();
      return;
    }
  }
  for (const char * done : kDone) {
    if (line == done) {
      g_following.pending.reset();
      prepare_crash_line();
      return;
    }
  }
}

void follow(
  const rcutils_log_location_t * location, int severity, const char * name,
  rcutils_time_point_value_t timestamp, const char * format, va_list * args)
{
  if (severity == RCUTILS_LOG_SEVERITY_DEBUG && name != nullptr && std::strcmp(name, "rcl") == 0 &&
    std::this_thread::get_id() == g_following.thread)
  {
    char line[512];
    va_list copy;
    va_copy(copy, *args);
    std::vsnprintf(line, sizeof line, format, copy);
    va_end(copy);
    note(line);
  }
  // rcl's debug lines were turned on for the recorder (its child loggers' too): those hidden
  // before stay hidden.
  if (name != nullptr && std::strncmp(name, "rcl", 3) == 0 && (name[3] == '\0' || name[3] == '.') &&
    severity < g_following.rcl_effective_level)
  {
    return;
  }
  g_following.forward(location, severity, name, timestamp, format, args);
}

std::mutex g_one_at_a_time;
bool g_someone_follows = false;

}  // namespace

EntityCreationRecorder::EntityCreationRecorder(
  std::function<std::string(const RefusedEntity &)> crash_line)
{
  {
    const std::lock_guard<std::mutex> lock(g_one_at_a_time);
    if (g_someone_follows) {
      return;
    }
    g_someone_follows = following_ = true;
  }
  g_following.thread = std::this_thread::get_id();
  g_following.pending.reset();
  g_following.refused.clear();
  g_following.crash_line = std::move(crash_line);
  g_crash_line_length = 0;
  if (g_following.crash_line) {
    g_recording_thread = static_cast<pid_t>(syscall(SYS_gettid));
    struct sigaction action {};
    action.sa_sigaction = on_segv;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, &g_previous_segv);
  }
  g_following.rcl_level = rcutils_logging_get_logger_level("rcl");
  g_following.rcl_effective_level = rcutils_logging_get_logger_effective_level("rcl");
  g_following.forward = rcutils_logging_get_output_handler();
  rcutils_logging_set_output_handler(follow);
  if (rcutils_logging_set_logger_level("rcl", RCUTILS_LOG_SEVERITY_DEBUG) != RCUTILS_RET_OK) {
    rcutils_reset_error();  // no rcl lines then: nothing is recorded as refused
  }
}

EntityCreationRecorder::~EntityCreationRecorder()
{
  if (!following_) {
    return;
  }
  if (rcutils_logging_set_logger_level("rcl", g_following.rcl_level) != RCUTILS_RET_OK) {
    rcutils_reset_error();
  }
  rcutils_logging_set_output_handler(g_following.forward);
  g_following.thread = std::thread::id();
  if (g_following.crash_line) {
    g_crash_line_length = 0;
    sigaction(SIGSEGV, &g_previous_segv, nullptr);
    g_following.crash_line = nullptr;
  }
  const std::lock_guard<std::mutex> lock(g_one_at_a_time);
  g_someone_follows = false;
}

std::vector<RefusedEntity> EntityCreationRecorder::refused() const
{
  if (!following_) {
    return {};
  }
  const std::lock_guard<std::mutex> lock(g_following.mutex);
  std::vector<RefusedEntity> refused = g_following.refused;
  if (g_following.pending) {
    refused.push_back(*g_following.pending);
  }
  return refused;
}

}  // namespace tavrinox_camera_convertor
