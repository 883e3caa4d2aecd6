// What the reader read in a rules file, in short, for tests that compare it with a line.
#pragma once

#include <string>
#include <vector>

#include "rules/RulesFile.h"

namespace corvane::testing {

inline std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ",") + name;
  return out;
}

inline std::string said(const UserShortcut& s) {
  std::string out = s.press + "=" +
                    (s.dock    ? "dock " + std::to_string(s.dock)
                     : s.opens ? s.open
                               : s.send);
  if (!s.apps.empty()) out += "@" + joined(s.apps);
  if (!s.except.empty()) out += "!" + joined(s.except.written);
  if (s.withShift) out += "+shift";
  return s.title.empty() ? out : out + "'" + s.title + "'";
}

// What the reader read, in short: "off: F2 Ctrl+C@terminals|exclude: remote+Alt+Tab|shortcuts:
// F5=Cmd+R@browsers'Reload'|".
inline std::string summary(const RulesFile& rules) {
  std::string out = "off:";
  for (const std::string& name : rules.disable) out += " " + name;
  for (const ScopedDisable& d : rules.disabledIn) {
    out += " " + std::string(kBuiltinCombinationNames[static_cast<size_t>(d.combination)]) + "@" +
           joined(d.in.written);
  }
  out += "|exclude:";
  for (const Exclusion& e : rules.exclusions) {
    out += " " + joined(e.apps.written) + (e.kept.empty() ? "" : "+" + joined(e.kept));
  }
  out += "|shortcuts:";
  for (const UserShortcut& s : rules.shortcuts) out += " " + said(s);
  return out + "|";
}

}  // namespace corvane::testing
