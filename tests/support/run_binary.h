// Helpers for end-to-end tests: run the built pelmora binary in a scratch
// folder and collect what it printed, its exit status and the files it wrote.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pelmora::testing {

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string standard_error;
  std::string standard_output;
};

// A fresh, empty folder that is removed with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  void write(const std::string& name, const std::string& contents) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Runs `program` with `arguments` in `folder`; extra_environment entries
// ("NAME=value") are added to the inherited environment.
ProcessResult run_program(const std::string& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder,
                          const std::vector<std::string>& extra_environment = {});

// Runs the pelmora binary under test.
ProcessResult run_pelmora(const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder,
                          const std::vector<std::string>& extra_environment = {});

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& contents);

// The banner with the contact line the binary prints.
std::string banner_text();

// Splits a text at '\n' (a trailing line end gives no empty last element).
std::vector<std::string> split_lines(const std::string& text);

}  // namespace pelmora::testing
