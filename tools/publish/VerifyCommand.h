#pragma once
// `norq-publish --verify BASE --key public.pem [--product NAME] [--min-serial N]`.

namespace norq::publish {

// Runs the check and prints its verdict: 0 when the server serves what was
// signed, 1 with one line per problem, 2 for arguments it cannot use.
int VerifyCommand(int argc, char** argv);

}  // namespace norq::publish
