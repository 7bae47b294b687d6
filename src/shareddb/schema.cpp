// The migrations of the shared database. A migration is never changed once released: a new
// one is appended instead.
#include "shareddb/schema.h"

#include <iterator>

namespace shareddb {
namespace {

// Names are kept as their CP932 bytes (name), folded for comparison as the customer tree
// compares them (name_key), and as UTF-8 text for people who query the tables (name_text,
// invalid bytes as U+FFFD). A record is its bytes in the store's record layout (body) plus a
// few columns for queries; every earlier revision of it goes to record_history.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE mxr_schema (version integer NOT NULL, database_id text NOT NULL);
INSERT INTO mxr_schema VALUES (0, md5(random()::text || clock_timestamp()::text));
CREATE SEQUENCE mxr_change_seq;
CREATE TABLE customers (
    id bigserial PRIMARY KEY,
    name bytea NOT NULL,
    name_key bytea NOT NULL UNIQUE,
    name_text text NOT NULL);
CREATE TABLE cables (
    id bigserial PRIMARY KEY,
    customer_id bigint NOT NULL REFERENCES customers,
    name bytea NOT NULL,
    name_key bytea NOT NULL,
    name_text text NOT NULL,
    UNIQUE (customer_id, name_key));
CREATE TABLE sets (
    id bigserial PRIMARY KEY,
    cable_id bigint NOT NULL REFERENCES cables,
    name bytea NOT NULL,
    name_key bytea NOT NULL,
    name_text text NOT NULL,
    show_seikyoku integer NOT NULL,
    show_jyakuten integer NOT NULL,
    UNIQUE (cable_id, name_key));
CREATE TABLE records (
    id bigserial PRIMARY KEY,
    set_id bigint NOT NULL REFERENCES sets,
    content_key bytea NOT NULL,
    start_status integer NOT NULL,
    start_date double precision NOT NULL,
    test_voltage double precision NOT NULL,
    data_no integer NOT NULL,
    used_points integer NOT NULL,
    last_current double precision NOT NULL,
    seikyoku_ratio double precision NOT NULL,
    jyakuten_ratio double precision NOT NULL,
    body bytea NOT NULL,
    state_hash bigint NOT NULL,
    revision integer NOT NULL,
    workstation text NOT NULL,
    written_at timestamptz NOT NULL DEFAULT now(),
    change_seq bigint NOT NULL DEFAULT nextval('mxr_change_seq'),
    UNIQUE (set_id, content_key));
CREATE INDEX records_change_seq ON records (change_seq);
CREATE TABLE record_history (
    record_id bigint NOT NULL REFERENCES records,
    revision integer NOT NULL,
    body bytea NOT NULL,
    state_hash bigint NOT NULL,
    workstation text NOT NULL,
    written_at timestamptz NOT NULL,
    superseded_at timestamptz NOT NULL DEFAULT now(),
    superseded_by text NOT NULL,
    PRIMARY KEY (record_id, revision));
CREATE TABLE workstations (
    id text PRIMARY KEY,
    last_sync timestamptz NOT NULL);
)sql",
    // The server keeps every replaced revision itself, whoever changes a record and however:
    // an update of a record's state copies the old row into record_history and raises the
    // revision, so every workstation sees the change and nobody rewrites history unseen. The
    // group role mxr_sync holds the least rights a sync needs: no deletes, no schema changes,
    // the history only readable (the trigger writes it with its owner's rights).
    R"sql(
CREATE FUNCTION mxr_keep_history() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path = public, pg_temp AS $$
BEGIN
    IF NEW.body IS DISTINCT FROM OLD.body OR NEW.state_hash IS DISTINCT FROM OLD.state_hash THEN
        INSERT INTO record_history (record_id, revision, body, state_hash, workstation,
                                    written_at, superseded_by)
        VALUES (OLD.id, OLD.revision, OLD.body, OLD.state_hash, OLD.workstation, OLD.written_at,
                CASE WHEN NEW.workstation IS DISTINCT FROM OLD.workstation
                     THEN NEW.workstation ELSE session_user END)
        ON CONFLICT (record_id, revision) DO NOTHING;
        IF NEW.revision <= OLD.revision THEN
            NEW.revision := OLD.revision + 1;
            NEW.workstation := session_user;
            NEW.written_at := now();
            NEW.change_seq := nextval('mxr_change_seq');
        END IF;
    END IF;
    RETURN NEW;
END $$;
CREATE TRIGGER records_keep_history BEFORE UPDATE ON records
    FOR EACH ROW EXECUTE FUNCTION mxr_keep_history();
REVOKE ALL ON mxr_schema, customers, cables, sets, records, record_history, workstations
    FROM PUBLIC;
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'mxr_sync') THEN
        BEGIN
            CREATE ROLE mxr_sync NOLOGIN;
        EXCEPTION WHEN insufficient_privilege THEN
            RAISE NOTICE 'mxr_sync not created: no right to create roles';
        END;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'mxr_sync') THEN
        GRANT SELECT ON mxr_schema, record_history TO mxr_sync;
        GRANT SELECT, INSERT, UPDATE ON customers, cables, sets, records, workstations
            TO mxr_sync;
        GRANT USAGE ON SEQUENCE mxr_change_seq, customers_id_seq, cables_id_seq, sets_id_seq,
            records_id_seq TO mxr_sync;
        GRANT EXECUTE ON FUNCTION mxr_keep_history() TO mxr_sync;
    END IF;
END $$;
)sql",
    // The change journals of the workstations' workspaces, each entry with the items it
    // touched and their values before and after. A journal is named by the workstation that
    // sends it and the journal's own random id (a workspace started anew or restored whole
    // from a copy has a new one, so its entry ids never meet those of the one before). The
    // tables are append-only for everyone: no right to change or remove a row, and triggers
    // that refuse it even to the owner.
    R"sql(
CREATE TABLE journal_entries (
    workstation text NOT NULL,
    journal_id text NOT NULL,
    entry_id bigint NOT NULL,
    entry_time timestamptz NOT NULL,
    os_user text NOT NULL,
    made_on text NOT NULL,
    command text NOT NULL,
    summary text NOT NULL,
    reason text NOT NULL,
    pushed_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (workstation, journal_id, entry_id));
CREATE INDEX journal_entries_time ON journal_entries (entry_time);
CREATE TABLE journal_items (
    workstation text NOT NULL,
    journal_id text NOT NULL,
    entry_id bigint NOT NULL,
    item_no integer NOT NULL,
    change text NOT NULL,
    level integer NOT NULL,
    customer text NOT NULL,
    cable text NOT NULL,
    set_name text NOT NULL,
    content_key text NOT NULL,
    new_key text NOT NULL,
    new_name text NOT NULL,
    state_hash bigint NOT NULL,
    record_count bigint NOT NULL,
    PRIMARY KEY (workstation, journal_id, entry_id, item_no),
    FOREIGN KEY (workstation, journal_id, entry_id) REFERENCES journal_entries);
CREATE TABLE journal_fields (
    workstation text NOT NULL,
    journal_id text NOT NULL,
    entry_id bigint NOT NULL,
    item_no integer NOT NULL,
    field_no integer NOT NULL,
    field text NOT NULL,
    value_before text NOT NULL,
    value_after text NOT NULL,
    PRIMARY KEY (workstation, journal_id, entry_id, item_no, field_no),
    FOREIGN KEY (workstation, journal_id, entry_id, item_no) REFERENCES journal_items);
CREATE FUNCTION mxr_journal_append_only() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    RAISE EXCEPTION 'the journal is append-only: % on % refused', TG_OP, TG_TABLE_NAME;
END $$;
CREATE TRIGGER journal_entries_append_only BEFORE UPDATE OR DELETE ON journal_entries
    FOR EACH ROW EXECUTE FUNCTION mxr_journal_append_only();
CREATE TRIGGER journal_items_append_only BEFORE UPDATE OR DELETE ON journal_items
    FOR EACH ROW EXECUTE FUNCTION mxr_journal_append_only();
CREATE TRIGGER journal_fields_append_only BEFORE UPDATE OR DELETE ON journal_fields
    FOR EACH ROW EXECUTE FUNCTION mxr_journal_append_only();
CREATE TRIGGER journal_entries_no_truncate BEFORE TRUNCATE ON journal_entries
    FOR EACH STATEMENT EXECUTE FUNCTION mxr_journal_append_only();
CREATE TRIGGER journal_items_no_truncate BEFORE TRUNCATE ON journal_items
    FOR EACH STATEMENT EXECUTE FUNCTION mxr_journal_append_only();
CREATE TRIGGER journal_fields_no_truncate BEFORE TRUNCATE ON journal_fields
    FOR EACH STATEMENT EXECUTE FUNCTION mxr_journal_append_only();
REVOKE ALL ON journal_entries, journal_items, journal_fields FROM PUBLIC;
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'mxr_sync') THEN
        GRANT SELECT, INSERT ON journal_entries, journal_items, journal_fields TO mxr_sync;
    END IF;
END $$;
)sql",
    // The web viewer's users (mxrtool web user ...) and the role it reads with: mxr_web may
    // read the tree's tables and the users, and change nothing. A login role granted mxr_web
    // is what `mxrweb --db` connects as (docs/web.md).
    R"sql(
CREATE TABLE web_users (
    name text PRIMARY KEY,
    role text NOT NULL CHECK (role IN ('admin', 'viewer')),
    password_hash text NOT NULL,
    changed timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE web_user_customers (
    user_name text NOT NULL REFERENCES web_users (name) ON DELETE CASCADE ON UPDATE CASCADE,
    customer text NOT NULL,
    PRIMARY KEY (user_name, customer)
);
REVOKE ALL ON web_users, web_user_customers FROM PUBLIC;
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'mxr_web') THEN
        BEGIN
            CREATE ROLE mxr_web NOLOGIN;
        EXCEPTION WHEN insufficient_privilege THEN
            RAISE NOTICE 'mxr_web not created: no right to create roles';
        END;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'mxr_web') THEN
        GRANT SELECT ON mxr_schema, customers, cables, sets, records, web_users,
            web_user_customers TO mxr_web;
    END IF;
END $$;
)sql",
    // The cable register of the workstations: one row per cable, the newest revision (the
    // last writer by modified time, then workstation), and every revision it replaced. Names
    // are the tree's CP932 bytes (keys with ASCII letters folded), with their UTF-8 form for
    // people; a removed cable keeps its last entry with removed set. Customers' default
    // intervals the same way, one row per customer (interval NULL: cleared); the cable types
    // the users added, one row per folded name, never removed.
    R"sql(
CREATE TABLE cable_register (
    customer_key bytea NOT NULL,
    cable_key bytea NOT NULL,
    customer_raw bytea NOT NULL,
    cable_raw bytea NOT NULL,
    customer text NOT NULL,
    cable text NOT NULL,
    removed boolean NOT NULL,
    location text NOT NULL,
    voltage_kv double precision,
    cable_type text NOT NULL,
    cross_section double precision,
    length_m double precision,
    install_year integer,
    importance text NOT NULL,
    interval_months integer,
    person text NOT NULL,
    remarks text NOT NULL,
    modified bigint NOT NULL,
    os_user text NOT NULL,
    workstation text NOT NULL,
    PRIMARY KEY (customer_key, cable_key));
CREATE TABLE cable_register_old (LIKE cable_register);
ALTER TABLE cable_register_old ADD COLUMN replaced_at timestamptz NOT NULL DEFAULT now();
CREATE TABLE customer_register (
    customer_key bytea PRIMARY KEY,
    customer_raw bytea NOT NULL,
    customer text NOT NULL,
    interval_months integer,
    modified bigint NOT NULL,
    os_user text NOT NULL,
    workstation text NOT NULL);
CREATE TABLE customer_register_old (LIKE customer_register);
ALTER TABLE customer_register_old ADD COLUMN replaced_at timestamptz NOT NULL DEFAULT now();
CREATE TABLE cable_type (
    name_key text PRIMARY KEY,
    name text NOT NULL,
    added_at timestamptz NOT NULL DEFAULT clock_timestamp());
REVOKE ALL ON cable_register, cable_register_old, customer_register, customer_register_old,
    cable_type FROM PUBLIC;
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'mxr_sync') THEN
        GRANT SELECT, INSERT, UPDATE ON cable_register, customer_register TO mxr_sync;
        GRANT SELECT, INSERT ON cable_register_old, customer_register_old, cable_type
            TO mxr_sync;
    END IF;
END $$;
)sql",
};

constexpr int kLockKey = 0x4D585256; // any constant shared by every copy of the program

} // namespace

int CurrentSchemaVersion()
{
    return static_cast<int>(std::size(kMigrations));
}

SchemaStatus ReadSchemaStatus(PgConnection& c)
{
    SchemaStatus s;
    PgResult exists = c.exec("SELECT to_regclass('mxr_schema') IS NOT NULL");
    if (exists.raw(0, 0) != "t")
        return s;
    PgResult r = c.exec("SELECT version, database_id FROM mxr_schema");
    if (r.rows() == 1) {
        s.version = std::stoi(std::string(r.raw(0, 0)));
        s.databaseId = r.bytes(0, 1);
    }
    return s;
}

int Migrate(PgConnection& c)
{
    int before = -1;
    for (;;) {
        PgTransaction t(c);
        c.exec("SELECT pg_advisory_xact_lock(" + std::to_string(kLockKey) + ")");
        const int version = ReadSchemaStatus(c).version;
        if (before < 0)
            before = version;
        if (version >= CurrentSchemaVersion())
            return before;
        c.exec(kMigrations[version]);
        c.exec("UPDATE mxr_schema SET version = " + std::to_string(version + 1));
        t.commit();
    }
}

} // namespace shareddb
