// Resources for the resource lookup tests, as the posix backend takes them (see test_resources.rc).
#include "platform/posix/embedded.h"

namespace platform::posix {
namespace {
const uint8_t kZh[] = {'z', 'h'};
const uint8_t kEn[] = {'e', 'n'};
const uint8_t kOnlyEn[] = {'o', 'n', 'l', 'y', '-', 'e', 'n'};
}  // namespace

const EmbeddedResource* EmbeddedResourceTable() {
  static const EmbeddedResource kTable[] = {
      {u"TESTBLOB", 7, 2052, kZh, sizeof kZh},
      {u"TESTBLOB", 7, 1033, kEn, sizeof kEn},
      {u"TESTBLOB", 8, 1033, kOnlyEn, sizeof kOnlyEn},
      {nullptr, 0, 0, nullptr, 0},
  };
  return kTable;
}

}  // namespace platform::posix
