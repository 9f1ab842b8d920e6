#pragma once

#include <string>

// Dir + "/" + Name, without doubling a "/" that Dir already ends with; Name
// alone when Dir is empty.
std::string PathJoin(const std::string& dir, const std::string& name);
