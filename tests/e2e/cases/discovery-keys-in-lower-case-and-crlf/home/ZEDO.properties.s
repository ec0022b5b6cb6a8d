z_real_version = 10.8.1
z_brivexserver_install_dir=@HOME@/srv
