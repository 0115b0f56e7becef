#include "app/shell.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <sstream>

namespace frame::shell {
namespace {

bool LaunchDetached(const std::string& program, const std::vector<std::string>& args) {
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  return QProcess::startDetached(QString::fromStdString(program), list);
}

Launcher& CurrentLauncher() {
  static Launcher launcher = LaunchDetached;
  return launcher;
}

// $BROWSER is a colon-separated list of commands; "%s" marks where the
// address goes, otherwise it is the last argument.
std::vector<std::vector<std::string>> BrowserCommands(const std::string& url) {
  std::vector<std::vector<std::string>> commands;
  const char* env = std::getenv("BROWSER");
  if (env == nullptr) return commands;
  std::stringstream entries(env);
  std::string entry;
  while (std::getline(entries, entry, ':')) {
    std::stringstream words(entry);
    std::vector<std::string> argv;
    bool placed = false;
    for (std::string w; words >> w;) {
      if (const auto at = w.find("%s"); at != std::string::npos) {
        w.replace(at, 2, url);
        placed = true;
      }
      argv.push_back(w);
    }
    if (argv.empty()) continue;
    if (!placed) argv.push_back(url);
    commands.push_back(std::move(argv));
  }
  return commands;
}

}  // namespace

void SetLauncher(Launcher launcher) {
  CurrentLauncher() = launcher ? std::move(launcher) : Launcher(LaunchDetached);
}

std::string QualifyAddress(std::string_view address) {
  if (address.find("://") != std::string_view::npos || address.rfind("mailto:", 0) == 0)
    return std::string(address);
  return "http://" + std::string(address);
}

bool OpenAddress(std::string_view address) {
  if (address.empty()) return false;
  const std::string url = QualifyAddress(address);
  Launcher& launch = CurrentLauncher();
  if (launch("xdg-open", {url})) return true;
  if (launch("x-www-browser", {url})) return true;
  for (const auto& argv : BrowserCommands(url)) {
    if (launch(argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()))) return true;
  }
  return false;
}

}  // namespace frame::shell
