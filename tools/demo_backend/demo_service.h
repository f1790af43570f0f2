// The demo back end's answers: the six pipelines of the engine's table, each
// with the word list of its direction. Kept apart from the sockets so that the
// answers can be checked directly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tools/backend/pipelines.h"
#include "tools/demo_backend/dictionary.h"

namespace demo_backend {

struct Response {
    int status = 200;
    std::string reason = "OK";
    std::string body;
    std::string note;  // for the log: direction and unknown-word count, or the fault
};

class DemoService {
  public:
    // Loads "<source>-<target>.tsv" for every pipeline from `folder`; throws
    // std::runtime_error naming the file when one is missing or malformed.
    explicit DemoService(const std::string& folder);

    Response Handle(std::string_view method, std::string_view target, std::string_view body) const;

    // "de-en 312, it-en 298, ..." for the start-up line.
    std::string Summary() const;

  private:
    struct Direction {
        const test_backend::Pipeline* pipeline;
        Dictionary dictionary;
    };
    std::vector<Direction> directions_;
};

}  // namespace demo_backend
