#include "support/run_binary.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "cli/banner.h"
#include "cli/console.h"

extern char** environ;

namespace pelmora::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "pelmora-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

void ScratchDir::write(const std::string& name, const std::string& contents) const {
  write_file(path_ / name, contents);
}

std::string ScratchDir::read(const std::string& name) const {
  return read_file(path_ / name);
}

bool ScratchDir::exists(const std::string& name) const {
  return fs::exists(path_ / name);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void write_file(const fs::path& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

ProcessResult run_program(const std::string& program, const std::vector<std::string>& arguments,
                          const fs::path& folder,
                          const std::vector<std::string>& extra_environment) {
  // Output goes to files outside the working folder, so that the folder
  // holds only what the program itself wrote.
  ScratchDir capture;
  const std::string out_path = (capture.path() / "stdout").string();
  const std::string err_path = (capture.path() / "stderr").string();

  std::vector<std::string> argv_storage{program};
  argv_storage.insert(argv_storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_storage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  // Inherited variables that the extra entries set are left out, so that
  // the extra value is the one the program sees.
  auto overridden = [&](const std::string& entry) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    for (const std::string& extra : extra_environment) {
      if (extra.compare(0, name.size(), name) == 0) return true;
    }
    return false;
  };
  std::vector<std::string> env_storage;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!overridden(*entry)) env_storage.emplace_back(*entry);
  }
  env_storage.insert(env_storage.end(), extra_environment.begin(), extra_environment.end());
  std::vector<char*> envp;
  for (std::string& entry : env_storage) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);

  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0) {
  }
  ProcessResult result;
  if (WIFEXITED(wait_status)) {
    result.status = WEXITSTATUS(wait_status);
  } else if (WIFSIGNALED(wait_status)) {
    result.status = 128 + WTERMSIG(wait_status);
  }
  result.standard_output = read_file(out_path);
  result.standard_error = read_file(err_path);
  return result;
}

ProcessResult run_pelmora(const std::vector<std::string>& arguments, const fs::path& folder,
                          const std::vector<std::string>& extra_environment) {
  return run_program(PELMORA_BINARY, arguments, folder, extra_environment);
}

std::string banner_text() {
  char* buffer = nullptr;
  std::size_t length = 0;
  std::FILE* stream = open_memstream(&buffer, &length);
  Console console(stream);
  print_banner(console);
  std::fclose(stream);
  std::string text(buffer, length);
  std::free(buffer);
  return text;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace pelmora::testing
