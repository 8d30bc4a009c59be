#pragma once
// Authenticode: whether a file the program is about to run or register as
// administrator carries an intact signature, trusted by the system, of one
// of the signers it may come from. The hashes in local.inf come from the
// same server as the files, so they guard against damage, not against
// someone between the desk and the server; the signature does.
#include <string>
#include <vector>

struct SignatureCheck {
    bool allowed = false;
    std::string signer;  // the signing certificate's name ("" when none was found)
    std::string reason;  // why it was refused, for the log and the row
};

// Verifies `path` (active code page) against `signers`, compared without
// regard to case. No signers: allowed without a look (the company has
// named none). The outcome is logged with `what` and the signer found.
SignatureCheck CheckSigner(const std::string& path, const std::vector<std::string>& signers, const std::string& what);

