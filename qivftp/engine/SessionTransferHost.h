#pragma once
// The job's host: the transfer agent's FTP session, reporting into the job's output.

#include "common/Settings.h"
#include "qivftp/engine/JobEngine.h"

namespace zorva::qivftp {

// Builds the production host for a job.
HostFactory SessionTransferHostFactory();

}  // namespace zorva::qivftp
