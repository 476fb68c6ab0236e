// The log text of an item: up to three ","-separated fields, creation stamp,
// modification stamp "*" count, view stamp "*" count ("C,M*4,V*2"). Readers
// take a field apart; writers rewrite one field in place. A missing field reads as "".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentora::excel {

// Field 1: the text before the first ",", all of the log when it has none.
std::string LogCreationStamp(std::string_view log);

// Field 2 before its first "*" (all of field 2 when it has none).
std::string LogModifyStamp(std::string_view log);

// Field 2 after its first "*" read as a number rounded halves to even; 0 when it
// has no "*". Throws Overflow when the number exceeds 32 bits.
std::int32_t LogModifyCountOf(std::string_view log);

// Field 3 before its first "*" (all of field 3 when it has none).
std::string LogViewStamp(std::string_view log);

// Field 3 after its first "*" read as LogModifyCountOf reads field 2.
std::int32_t LogViewCountOf(std::string_view log);

// Rewrites field 2 as `stamp` "*" its old count; fields 3 and later stay.
void SetLogModifyStamp(std::string& log, std::string_view stamp);

// Rewrites field 2 as its old stamp "*" `count`; fields 3 and later stay.
void SetLogModifyCount(std::string& log, std::int32_t count);

// Rewrites field 3 as `stamp` "*" its old count; fields after the third are dropped.
void SetLogViewStamp(std::string& log, std::string_view stamp);

// Rewrites field 3 as its old stamp "*" `count`; fields after the third are dropped.
void SetLogViewCount(std::string& log, std::int32_t count);

}  // namespace zentora::excel
