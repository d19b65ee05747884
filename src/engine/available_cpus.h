// How many CPUs this process may keep busy: those its affinity mask lets it
// run on (taskset, a batch system's CPU binding) and, under a cgroup CPU
// quota (a container's --cpus, a job's CPU limit), no more than the quota
// rounded up.  More worker threads than that only take turns, and in scan
// mode each one holds its own rows of memory.
//
// The file parsing is pure, for tests and for callers that read the files
// themselves; available_cpus() reads the machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

// The CPUs a cgroup v2 "cpu.max" grants ("150000 100000": 1.5); none for
// "max ..." (no quota) or an unreadable text.
std::optional<double> cpu_max_limit(std::string_view cpu_max);

// The same from cgroup v1's cpu.cfs_quota_us and cpu.cfs_period_us; a quota
// of -1 means none.
std::optional<double> cfs_limit(std::string_view quota, std::string_view period);

struct QuotaFolder {
  std::string path;  // a cgroup's folder in the mounted hierarchy
  bool version2;     // holds cpu.max; else cpu.cfs_quota_us and cpu.cfs_period_us
};

// Every folder whose quota binds this process: for each mounted hierarchy
// that carries the cpu controller, its own cgroup first, then each parent
// up to the root of the mount (a parent's quota binds its children too).
// From the texts of /proc/self/cgroup and /proc/self/mountinfo.
std::vector<QuotaFolder> quota_folders(std::string_view self_cgroup, std::string_view mountinfo);

// The affinity count, at most the smallest quota rounded up; at least 1.
int allowed_cpus(int affinity_cpus, const std::vector<double>& quota_limits);

// Reads the affinity mask and the quotas of this process.  Without an
// affinity mask it counts every CPU the system reports; at least 1.
int available_cpus();

}  // namespace pelmora
