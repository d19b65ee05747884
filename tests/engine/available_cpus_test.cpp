#include "engine/available_cpus.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <optional>
#include <string>
#include <vector>

namespace pelmora {
namespace {

TEST(AvailableCpus, QuotaTexts) {
  struct Case {
    const char* quota;
    const char* period;  // nullptr: a v2 cpu.max text
    std::optional<double> cpus;
  };
  const Case cases[] = {
      {"max 100000\n", nullptr, std::nullopt},
      {"150000 100000\n", nullptr, 1.5},
      {"50000 100000", nullptr, 0.5},
      {"", nullptr, std::nullopt},
      {"150000\n", nullptr, std::nullopt},
      {"150000 0\n", nullptr, std::nullopt},
      {"150000 100000 7\n", nullptr, std::nullopt},
      {"-1\n", "100000\n", std::nullopt},
      {"400000\n", "100000\n", 4.0},
      {"12x\n", "100000\n", std::nullopt},
      {"400000\n", "\n", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.quota) + " / " + (c.period ? c.period : "(cpu.max)"));
    EXPECT_EQ(c.period ? cfs_limit(c.quota, c.period) : cpu_max_limit(c.quota), c.cpus);
  }
}

// The mountinfo lines of real machines: a plain v2 system, a v1 container
// whose hierarchy root is its own cgroup, and a hybrid system with the cpu
// controller on v1 and an empty v2 beside it.
TEST(AvailableCpus, FoldersOfTheQuotasThatBindThisProcess) {
  const std::string v2_mount =
      "24 1 0:22 / /sys/fs/cgroup rw,nosuid,nodev,noexec,relatime shared:9 - cgroup2 cgroup2 "
      "rw,nsdelegate\n";
  const std::string v1_cpu_mount =
      "31 30 0:28 /docker/abc /sys/fs/cgroup/cpu,cpuacct ro,relatime - cgroup cgroup "
      "rw,cpu,cpuacct\n";
  const std::string v1_other_mount =
      "32 30 0:29 / /sys/fs/cgroup/cpuset rw,relatime - cgroup cgroup rw,cpuset\n"
      "33 30 0:30 / /sys/fs/cgroup/cpuacct rw,relatime - cgroup cgroup rw,cpuacct\n";
  const std::string root_file_system = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";
  struct Case {
    const char* name;
    std::string self_cgroup;
    std::string mountinfo;
    std::vector<QuotaFolder> folders;
  };
  const std::vector<Case> cases = {
      {"v2, a Slurm job step",
       "0::/system.slice/slurmstepd.scope/job_42/step_0\n",
       root_file_system + v2_mount,
       {{"/sys/fs/cgroup/system.slice/slurmstepd.scope/job_42/step_0", true},
        {"/sys/fs/cgroup/system.slice/slurmstepd.scope/job_42", true},
        {"/sys/fs/cgroup/system.slice/slurmstepd.scope", true},
        {"/sys/fs/cgroup/system.slice", true},
        {"/sys/fs/cgroup", true}}},
      {"v2 in its own namespace", "0::/\n", v2_mount, {{"/sys/fs/cgroup", true}}},
      {"v2, cgroup outside the mounted part", "0::/../other\n", v2_mount, {}},
      {"v1 container",
       "5:cpuset:/docker/abc\n4:cpu,cpuacct:/docker/abc\n0::/\n",
       v1_cpu_mount + v1_other_mount,
       {{"/sys/fs/cgroup/cpu,cpuacct", false}}},
      {"v1, cgroup below the mount's root",
       "4:cpu,cpuacct:/docker/abc/inner\n",
       v1_cpu_mount,
       {{"/sys/fs/cgroup/cpu,cpuacct/inner", false}, {"/sys/fs/cgroup/cpu,cpuacct", false}}},
      {"v1, a root that only shares a prefix", "4:cpu,cpuacct:/docker/abcd\n", v1_cpu_mount, {}},
      {"hybrid",
       "1:cpu:/batch\n2:cpuacct:/\n0::/\n",
       "31 30 0:28 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n" + v1_other_mount +
           "40 30 0:37 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n",
       {{"/sys/fs/cgroup/cpu/batch", false},
        {"/sys/fs/cgroup/cpu", false},
        {"/sys/fs/cgroup/unified", true}}},
      {"escaped blanks in the mount point",
       "0::/a\n",
       "24 1 0:22 / /mnt/my\\040cgroups rw - cgroup2 none rw\n",
       {{"/mnt/my cgroups/a", true}, {"/mnt/my cgroups", true}}},
      {"optional fields and no cgroup mount",
       "0::/a\n",
       "22 1 8:1 / / rw shared:1 master:2 - ext4 /dev/sda1 rw\n",
       {}},
      {"no cgroup line for the mounted hierarchy", "3:cpuset:/\n", v2_mount + v1_cpu_mount, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<QuotaFolder> folders = quota_folders(c.self_cgroup, c.mountinfo);
    ASSERT_EQ(folders.size(), c.folders.size());
    for (std::size_t i = 0; i < folders.size(); ++i) {
      EXPECT_EQ(folders[i].path, c.folders[i].path);
      EXPECT_EQ(folders[i].version2, c.folders[i].version2) << folders[i].path;
    }
  }
}

TEST(AvailableCpus, AffinityCappedByTheSmallestQuotaRoundedUp) {
  EXPECT_EQ(allowed_cpus(64, {}), 64);
  EXPECT_EQ(allowed_cpus(64, {1.0}), 1);
  EXPECT_EQ(allowed_cpus(64, {0.5}), 1);
  EXPECT_EQ(allowed_cpus(64, {2.5, 8.0}), 3);
  EXPECT_EQ(allowed_cpus(2, {8.0}), 2);
  EXPECT_EQ(allowed_cpus(0, {}), 1);
  EXPECT_EQ(allowed_cpus(4, {1e300}), 4);
}

// The machine as taskset or a batch system's binding leaves it: one CPU.
TEST(AvailableCpus, OneCpuOfAffinityGivesOne) {
  cpu_set_t original;
  ASSERT_EQ(sched_getaffinity(0, sizeof original, &original), 0);
  int first = 0;
  while (!CPU_ISSET(first, &original)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const int available = available_cpus();
  sched_setaffinity(0, sizeof original, &original);
  EXPECT_EQ(available, 1);
}

}  // namespace
}  // namespace pelmora
