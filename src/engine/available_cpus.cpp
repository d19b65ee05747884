#include "engine/available_cpus.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace pelmora {

namespace {

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<long long> whole_number(std::string_view text) {
  text = trimmed(text);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ratio(std::optional<long long> quota, std::optional<long long> period) {
  if (!quota || !period || *quota <= 0 || *period <= 0) return std::nullopt;
  return static_cast<double>(*quota) / static_cast<double>(*period);
}

std::vector<std::string_view> fields(std::string_view line, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = line.find(separator, start);
    parts.push_back(line.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> result;
  for (std::string_view line : fields(text, '\n')) {
    if (!line.empty()) result.push_back(line);
  }
  return result;
}

bool has_item(std::string_view list, std::string_view item) {
  const std::vector<std::string_view> items = fields(list, ',');
  return std::find(items.begin(), items.end(), item) != items.end();
}

// mountinfo writes blanks, tabs, line breaks and backslashes of a path as
// three octal digits after a backslash.
std::string unescaped(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto octal = [&](std::size_t k) { return text[k] >= '0' && text[k] <= '7'; };
    if (text[i] == '\\' && i + 3 < text.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      result += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                  (text[i + 3] - '0'));
      i += 3;
    } else {
      result += text[i];
    }
  }
  return result;
}

struct CgroupMount {
  std::string root;  // the cgroup shown at the mount point
  std::string mount_point;
  bool version2;
};

std::vector<CgroupMount> cpu_mounts(std::string_view mountinfo) {
  std::vector<CgroupMount> mounts;
  for (std::string_view line : lines(mountinfo)) {
    const std::vector<std::string_view> parts = fields(line, ' ');
    // Optional fields end at "-"; file system type, source and options follow.
    const auto dash = std::find(parts.begin(), parts.end(), "-");
    if (parts.size() < 6 || std::distance(dash, parts.end()) < 4) continue;
    const std::string_view type = dash[1];
    const bool version2 = type == "cgroup2";
    if (!version2 && !(type == "cgroup" && has_item(dash[3], "cpu"))) continue;
    mounts.push_back({unescaped(parts[3]), unescaped(parts[4]), version2});
  }
  return mounts;
}

// The cgroup of this process in the hierarchy of v2 ("0::/path") or of the
// v1 cpu controller ("4:cpu,cpuacct:/path").
std::optional<std::string> own_cgroup(std::string_view self_cgroup, bool version2) {
  for (std::string_view line : lines(self_cgroup)) {
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) continue;
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    const bool matches = version2 ? line.substr(0, first) == "0" && controllers.empty()
                                  : has_item(controllers, "cpu");
    if (matches) return std::string(line.substr(second + 1));
  }
  return std::nullopt;
}

std::optional<std::string> file_text(const std::string& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

int affinity_count() {
  // Masks grow until the kernel's fits: machines may have more than the
  // 1024 CPUs of a plain cpu_set_t.
  for (int cpus = 1024; cpus <= (1 << 20); cpus *= 2) {
    cpu_set_t* mask = CPU_ALLOC(cpus);
    if (mask == nullptr) return 0;
    const std::size_t size = CPU_ALLOC_SIZE(cpus);
    const int result = sched_getaffinity(0, size, mask);
    const int count = result == 0 ? CPU_COUNT_S(size, mask) : 0;
    CPU_FREE(mask);
    if (result == 0 || errno != EINVAL) return count;
  }
  return 0;
}

}  // namespace

std::optional<double> cpu_max_limit(std::string_view cpu_max) {
  const std::vector<std::string_view> parts = fields(trimmed(cpu_max), ' ');
  if (parts.size() != 2) return std::nullopt;
  return ratio(whole_number(parts[0]), whole_number(parts[1]));
}

std::optional<double> cfs_limit(std::string_view quota, std::string_view period) {
  return ratio(whole_number(quota), whole_number(period));
}

std::vector<QuotaFolder> quota_folders(std::string_view self_cgroup, std::string_view mountinfo) {
  std::vector<QuotaFolder> folders;
  for (const CgroupMount& mount : cpu_mounts(mountinfo)) {
    const std::optional<std::string> cgroup = own_cgroup(self_cgroup, mount.version2);
    if (!cgroup) continue;
    // The part of the cgroup's path below the mount's root; a cgroup
    // outside the mounted part (another namespace's) is not to be found.
    std::string_view below(*cgroup);
    if (mount.root != "/") {
      if (!below.starts_with(mount.root) ||
          (below.size() > mount.root.size() && below[mount.root.size()] != '/')) {
        continue;
      }
      below.remove_prefix(mount.root.size());
    }
    if (below.starts_with("/..")) continue;
    while (!below.empty() && below != "/") {
      folders.push_back({mount.mount_point + std::string(below), mount.version2});
      below = below.substr(0, below.rfind('/'));
    }
    folders.push_back({mount.mount_point, mount.version2});
  }
  return folders;
}

int allowed_cpus(int affinity_cpus, const std::vector<double>& quota_limits) {
  double allowed = std::max(affinity_cpus, 1);
  for (const double limit : quota_limits) allowed = std::min(allowed, std::ceil(limit));
  return std::max(static_cast<int>(allowed), 1);
}

int available_cpus() {
  int affinity = affinity_count();
  if (affinity <= 0) {
    affinity = static_cast<int>(std::min(std::thread::hardware_concurrency(), 1u << 20));
  }
  std::vector<double> limits;
  const std::optional<std::string> self_cgroup = file_text("/proc/self/cgroup");
  const std::optional<std::string> mountinfo = file_text("/proc/self/mountinfo");
  if (!self_cgroup || !mountinfo) return allowed_cpus(affinity, limits);
  for (const QuotaFolder& folder : quota_folders(*self_cgroup, *mountinfo)) {
    std::optional<double> limit;
    if (folder.version2) {
      if (const auto text = file_text(folder.path + "/cpu.max")) limit = cpu_max_limit(*text);
    } else {
      const auto quota = file_text(folder.path + "/cpu.cfs_quota_us");
      const auto period = file_text(folder.path + "/cpu.cfs_period_us");
      if (quota && period) limit = cfs_limit(*quota, *period);
    }
    if (limit) limits.push_back(*limit);
  }
  return allowed_cpus(affinity, limits);
}

}  // namespace pelmora
