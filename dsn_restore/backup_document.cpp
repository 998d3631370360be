#include "dsn_restore/backup_document.h"

#include <yyjson.h>

#include <memory>

#include "dsn_restore/text_conversion.h"

namespace dsn_restore {
namespace {

struct DocumentFree {
  void operator()(yyjson_doc* document) const { yyjson_doc_free(document); }
};
using UniqueDocument = std::unique_ptr<yyjson_doc, DocumentFree>;

}  // namespace

BackupDocument ReadBackupDocument(std::u16string_view backupText) {
  Utf8Text json = NarrowText(backupText);
  if (json.unpairedSurrogateAt) {
    return UnreadableBackup{u"unpaired surrogate in UTF-16 text", *json.unpairedSurrogateAt};
  }
  json.bytes.resize(json.bytes.find('\0') == std::string::npos ? json.bytes.size() : json.bytes.find('\0'));

  yyjson_read_err error{};
  // The reader does not write to its input without YYJSON_READ_INSITU.
  UniqueDocument document(
      yyjson_read_opts(json.bytes.data(), json.bytes.size(), YYJSON_READ_NOFLAG, nullptr, &error));
  if (!document) {
    return UnreadableBackup{WidenText(error.msg), error.pos};
  }

  yyjson_val* root = yyjson_doc_get_root(document.get());
  if (!yyjson_is_obj(root) || yyjson_obj_size(root) == 0) {
    return NoBackupMembers{};
  }

  BackupMembers result;
  result.members.reserve(yyjson_obj_size(root));
  yyjson_obj_iter members;
  yyjson_obj_iter_init(root, &members);
  while (yyjson_val* name = yyjson_obj_iter_next(&members)) {
    yyjson_val* value = yyjson_obj_iter_get_val(name);
    if (!yyjson_is_str(value)) {
      return NonStringMember{WidenText(yyjson_get_str(name))};
    }
    std::u16string valueName = WidenText(yyjson_get_str(name));
    if (valueName.size() > kMaxValueNameUnits) {
      return MemberNameTooLong{std::move(valueName)};
    }
    result.members.push_back({std::move(valueName), WidenText(yyjson_get_str(value))});
  }
  return result;
}

}  // namespace dsn_restore
