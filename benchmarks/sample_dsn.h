#pragma once
// The DSN settings the benchmarks restore: twelve string members of the
// lengths a real data source of the driver has.
#include <string>
#include <utility>
#include <vector>

namespace benchmarks {

inline std::u16string Number(int n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

inline std::u16string DsnName(int n) {
  std::u16string name = Number(n);
  return u"Dsn" + std::u16string(5 - std::min<std::size_t>(5, name.size()), u'0') + name;
}

inline std::vector<std::pair<std::u16string, std::u16string>> DsnSettings(int n) {
  return {
      {u"Driver", u"C:\\Program Files\\Halvernik\\ODBC\\halvodbc.dll"},
      {u"Description", u"Sales reporting database " + Number(n)},
      {u"Server", u"db-sales-" + Number(n) + u".corp.example.com"},
      {u"Port", u"5432"},
      {u"Database", u"sales_" + Number(n)},
      {u"UID", u"report_reader"},
      {u"Trusted_Connection", u"No"},
      {u"LoginTimeout", u"30"},
      {u"Encrypt", u"Yes"},
      {u"TrustServerCertificate", u"No"},
      {u"ApplicationIntent", u"ReadOnly"},
      {u"CacheFolder", u"%LOCALAPPDATA%\\Halvernik ODBC Driver\\Cache"},
  };
}

// A JSON string for text that holds no quote and no control character.
inline std::u16string JsonString(const std::u16string& text) {
  std::u16string out = u"\"";
  for (const char16_t c : text) {
    if (c == u'\\') {
      out += u'\\';
    }
    out += c;
  }
  return out + u"\"";
}

inline std::u16string BackupDocument(int n) {
  std::u16string json = u"{";
  for (const auto& [name, value] : DsnSettings(n)) {
    json += (json.size() > 1 ? u"," : u"") + JsonString(name) + u":" + JsonString(value);
  }
  return json + u"}";
}

}  // namespace benchmarks
