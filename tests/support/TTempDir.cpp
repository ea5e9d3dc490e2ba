#include "support/TTempDir.h"

#include <QDir>

TTempDir::TTempDir() : m_dir(QDir::tempPath() + "/brevant-test-XXXXXX") {}
