#include "archive/archive.h"

const char* ArchiveResultName(ArchiveResult result) {
  switch (result) {
    case kOk: return "kOk";
    case kCannotOpenFile: return "kCannotOpenFile";
    case kBadRecord: return "kBadRecord";
    case kWriteFailed: return "kWriteFailed";
    case kCrcMismatch: return "kCrcMismatch";
    case kUnsafeName: return "kUnsafeName";
    case kCorrupt: return "kCorrupt";
    case kReadFailed: return "kReadFailed";
    case kNameTooLong: return "kNameTooLong";
    case kPasswordRequired: return "kPasswordRequired";
    case kBadArguments: return "kBadArguments";
    case kPathTooLong: return "kPathTooLong";
    case kWrongHandleKind: return "kWrongHandleKind";
    case kInflateFailed: return "kInflateFailed";
    default: return "unknown ArchiveResult";
  }
}
