#pragma once

#include <string>

namespace proxanto::test_data {

// The loader's worked example: six entry numbers, entry 1 blocked, entry 4
// missing, entry 5 with a third field.
inline const std::string kWorkedExample =
    "[IP]\r\n"
    "count=6\r\n"
    "0=192.0.2.10:8080;8\r\n"
    "1=198.51.100.7:3128;1\r\n"
    "1_block=1\r\n"
    "2=203.0.113.25:80;8\r\n"
    "3=192.0.2.200:8000;24\r\n"
    "5=198.51.100.33:8080;8;x\r\n";

}  // namespace proxanto::test_data
