# Sourced by run.sh and screenshots.sh: prepares the bundled sample database with its own ODBC
# configuration (the SQLite ODBC driver registered as "SQL Server") and its own settings folder, and
# exports the variables that point Rowquarry at them.
sample="$PWD/sample"
mkdir -p "$sample/odbc" "$sample/config"
if [ ! -f "$sample/shop.db" ]; then
    sqlite3 "$sample/shop.db" < sample-data/sample-database.sql
fi
printf '[SQL Server]\nDriver=%s\n' "$(find /usr/lib -name libsqlite3odbc.so -print -quit)" > "$sample/odbc/odbcinst.ini"
: > "$sample/odbc/odbc.ini"
if [ ! -f "$sample/config/Quillmark.ini" ]; then
    # Everything but the password, so the connection window comes up first; press "Next >".
    printf '[Rowquarry]\nMSServer=sample\nMSUser=demo\nMSDatabase=%s\nPort=1433\n' "$sample/shop.db" \
        > "$sample/config/Quillmark.ini"
    chmod 600 "$sample/config/Quillmark.ini"
fi
export ODBCSYSINI="$sample/odbc" ODBCINSTINI=odbcinst.ini XDG_CONFIG_HOME="$sample/config"
