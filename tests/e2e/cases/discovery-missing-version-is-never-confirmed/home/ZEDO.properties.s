Z_BrivexServer_INSTALL_DIR=@HOME@/srv
