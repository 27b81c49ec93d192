# Shared set-up of ./run and ./test: packages, build, local Firebird server.
# Sourced with the project folder as the working directory.

PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev firebird-dev libfbclient2
firebird3.0-server firebird3.0-utils fonts-ipafont-gothic xvfb xauth"
SYSDBA_PASSWORD=tallowfen
FB_SECURITY_DB=/var/lib/firebird/3.0/system/security3.fdb
FB_STARTED_PID=

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

as_firebird() {
    if [ "$(id -u)" = 0 ]; then runuser -u firebird -- "$@"; else sudo -u firebird "$@"; fi
}

ensure_packages() {
    missing=
    for p in $PACKAGES; do
        dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
}

build() {
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    cmake --build build
}

server_listening() {
    (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null
}

# True when the server accepts SYSDBA with our password.
password_accepted() {
    out=$(echo "QUIT;" | isql-fb -q -user SYSDBA -password "$SYSDBA_PASSWORD" \
        "localhost:/nonexistent-harokan-check.fdb" 2>&1)
    case "$out" in
        *"user name and password"*) return 1 ;;
        *) return 0 ;;
    esac
}

# Makes sure a server listens on 127.0.0.1:3050 with our SYSDBA password. A server this
# shell starts is stopped again by stop_server.
ensure_server() {
    if server_listening; then
        password_accepted && return 0
        # A running server (for example the system's service) with another password:
        # change it through the server with the password the package set up.
        old=$(as_root sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' \
            /etc/firebird/3.0/SYSDBA.password 2>/dev/null)
        echo "ALTER USER SYSDBA PASSWORD '$SYSDBA_PASSWORD';" |
            isql-fb -q -user SYSDBA -password "$old" "localhost:$FB_SECURITY_DB" >/dev/null 2>&1
        if password_accepted; then return 0; fi
        echo "The Firebird server on 127.0.0.1:3050 refuses SYSDBA/$SYSDBA_PASSWORD." >&2
        return 1
    fi
    # Nothing listens: set the password in the security database while no server holds
    # it, then start the server ourselves.
    echo "ALTER USER SYSDBA PASSWORD '$SYSDBA_PASSWORD';" |
        as_firebird isql-fb -q -user SYSDBA "$FB_SECURITY_DB" >/dev/null 2>&1
    as_root mkdir -p /run/firebird3.0
    as_root chown firebird:firebird /run/firebird3.0
    as_firebird /usr/sbin/firebird >/dev/null 2>&1 &
    FB_STARTED_PID=$!
    for _ in $(seq 1 100); do
        server_listening && break
        sleep 0.1
    done
    if ! server_listening || ! password_accepted; then
        echo "The local Firebird server did not start." >&2
        stop_server
        return 1
    fi
}

stop_server() {
    [ -n "$FB_STARTED_PID" ] || return 0
    as_root pkill -TERM -P "$FB_STARTED_PID" 2>/dev/null
    kill "$FB_STARTED_PID" 2>/dev/null
    for _ in $(seq 1 50); do
        server_listening || break
        sleep 0.1
    done
    FB_STARTED_PID=
}

# A folder the server may create databases in, for the README's first settings.
DATA_FOLDER=/var/lib/firebird/3.0/data/
