-- Quiltaro on the school's PostgreSQL server: the class's tables, in a schema
-- of their own, and the two group roles the school's login roles join.
--
--   psql -v ON_ERROR_STOP=1 -d quiltaro -f /usr/share/quiltaro/quiltaro-serveur.sql
--
-- run by the database's owner (a role that may also create roles), or
-- `quiltaro --setup-server CONNECTION`, which runs this same file. Every step
-- can run again on a server where it was done: an older server is upgraded,
-- and what the two roles may do is put back as it is written here.
--
--   quiltaro_eleve       adds rounds for the classes of its computer, and
--                        reads those classes' lists; nothing else, not even
--                        the rounds it added;
--   quiltaro_enseignant  reads everything, edits the class lists and which
--                        computer sends for which class, erases.
BEGIN;
SET LOCAL client_min_messages = warning;

CREATE SCHEMA IF NOT EXISTS quiltaro;
CREATE TABLE IF NOT EXISTS quiltaro.version (version integer NOT NULL);

-- A newer program's tables are left alone.
DO $$
BEGIN
    IF (SELECT max(version) FROM quiltaro.version) > 4 THEN
        RAISE EXCEPTION 'the Quiltaro tables come from a newer version'
            USING ERRCODE = 'QL001';
    END IF;
END $$;

-- A round's identity is made on the computer that played it, so that a round
-- sent twice (an answer lost after the server had committed it) is stored
-- once: INSERT ... ON CONFLICT DO NOTHING. Without a conflict target, that
-- asks for the INSERT privilege alone; naming the column would ask for SELECT
-- on it, which the pupils' role must not have. The arrival order is an
-- identity column: the server takes its next value without the inserting
-- role needing any right on its sequence. `received` and `sent_by` are the
-- server's own: no role may write them.
CREATE TABLE IF NOT EXISTS quiltaro.rounds (
    id uuid PRIMARY KEY,
    arrival bigint GENERATED ALWAYS AS IDENTITY,
    class_name text NOT NULL DEFAULT '' CHECK (length(class_name) <= 200),
    pupil text NOT NULL CHECK (length(pupil) <= 200),
    game_token text NOT NULL CHECK (length(game_token) <= 100),
    game_started timestamptz NOT NULL,
    started timestamptz NOT NULL,
    ended timestamptz NOT NULL,
    score_before smallint NOT NULL,
    score_after smallint NOT NULL,
    low_bound double precision NOT NULL,
    high_bound double precision NOT NULL,
    red_value real NOT NULL,
    ending text NOT NULL CHECK (length(ending) <= 20),
    answers text[] NOT NULL CHECK (cardinality(answers) <= 10000),
    verdicts text[] NOT NULL CHECK (cardinality(verdicts) = cardinality(answers)),
    received timestamptz NOT NULL DEFAULT now(),
    sent_by name NOT NULL DEFAULT current_user);
CREATE INDEX IF NOT EXISTS rounds_by_class ON quiltaro.rounds (class_name, arrival);
-- What the teacher's list of computers reads: each one's last round.
CREATE INDEX IF NOT EXISTS rounds_by_sender ON quiltaro.rounds (sent_by, received);

CREATE TABLE IF NOT EXISTS quiltaro.class_lists (
    class_name text NOT NULL DEFAULT '',
    position integer NOT NULL,
    name text NOT NULL CHECK (length(name) BETWEEN 1 AND 200),
    changed_by name NOT NULL DEFAULT current_user,
    changed_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (class_name, name));
-- The levels a class plays at, and its pupils, as in a class list file.
ALTER TABLE quiltaro.class_lists ADD COLUMN IF NOT EXISTS
    level text CHECK (length(level) <= 40);
CREATE TABLE IF NOT EXISTS quiltaro.class_levels (
    class_name text PRIMARY KEY,
    level text NOT NULL CHECK (length(level) <= 40),
    changed_by name NOT NULL DEFAULT current_user,
    changed_at timestamptz NOT NULL DEFAULT now());
-- The kind each round was played at, and the levels set; none in rounds
-- sent by older versions.
ALTER TABLE quiltaro.rounds ADD COLUMN IF NOT EXISTS kind text CHECK (length(kind) <= 20);
ALTER TABLE quiltaro.rounds ADD COLUMN IF NOT EXISTS level text CHECK (length(level) <= 40);

-- What the teacher's figures count of each round, kept with it: the answers,
-- those outside the interval (a verdict this version does not know is not
-- one), and the seconds played, up to ten minutes. With the index below, a
-- class's rounds are read in each pupil's order from the index alone, never
-- from the answers themselves. Adding them to a server that holds rounds
-- rewrites the table once (some 40 s for three million rounds; the
-- computers keep their rounds meanwhile).
ALTER TABLE quiltaro.rounds
    ADD COLUMN IF NOT EXISTS tries integer GENERATED ALWAYS AS (cardinality(answers)) STORED,
    ADD COLUMN IF NOT EXISTS outside integer GENERATED ALWAYS AS (
        cardinality(array_positions(verdicts, 'outside'))) STORED,
    ADD COLUMN IF NOT EXISTS seconds integer GENERATED ALWAYS AS (
        CASE WHEN ended < started THEN 0
             WHEN ended - started >= interval '10 minutes' THEN 600
             ELSE floor(extract(epoch FROM ended - started))::integer END) STORED;
CREATE INDEX IF NOT EXISTS rounds_by_pupil ON quiltaro.rounds (class_name, pupil, started, arrival)
    INCLUDE (ended, score_before, score_after, tries, outside, seconds, ending, kind, level,
             game_token);

-- Which classes each computer's login role sends for ('*': every class, for
-- a computer any class may sit at). A pupils' role sends for these classes
-- only, and reads only their lists.
CREATE TABLE IF NOT EXISTS quiltaro.computers (
    role name NOT NULL,
    class_name text NOT NULL CHECK (length(class_name) <= 200),
    PRIMARY KEY (role, class_name));

DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'quiltaro_eleve') THEN
        CREATE ROLE quiltaro_eleve NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'quiltaro_enseignant') THEN
        CREATE ROLE quiltaro_enseignant NOLOGIN;
    END IF;
END $$;

-- A server of an older version: each pupils' role keeps sending for the
-- classes it sent for.
DO $$
BEGIN
    IF coalesce((SELECT max(version) FROM quiltaro.version), 0) < 3 THEN
        INSERT INTO quiltaro.computers (role, class_name)
        SELECT DISTINCT r.sent_by, r.class_name FROM quiltaro.rounds r
        JOIN pg_roles g ON g.rolname = r.sent_by
        WHERE pg_has_role(g.oid, 'quiltaro_eleve', 'MEMBER')
        ON CONFLICT DO NOTHING;
    END IF;
END $$;

-- Whether `who` sends for the class `class`. It reads the computers' table
-- with its owner's rights, for the policies of roles that cannot.
CREATE OR REPLACE FUNCTION quiltaro.sends_for(who name, class text) RETURNS boolean
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
    SELECT EXISTS (SELECT FROM quiltaro.computers c
                   WHERE c.role = who AND c.class_name IN (class, '*'))
$$;

-- Whether every text of `texts` is at most `longest` characters long. Its
-- names are qualified rather than its search_path set, which would cost
-- every round a setting saved and put back.
CREATE OR REPLACE FUNCTION quiltaro.all_shorter(texts text[], longest integer) RETURNS boolean
    LANGUAGE sql IMMUTABLE AS $$
    SELECT COALESCE(pg_catalog.max(pg_catalog.length(t)), 0) OPERATOR(pg_catalog.<=) longest
    FROM pg_catalog.unnest(texts) t
$$;

-- What a round the game played can hold, and nothing else: the score stays
-- between 0 and 10, a round wins 2 points at most and loses one an answer
-- outside the interval at most, or all of them to a give-up, the brackets are those the game draws, the
-- words are the game's own. The rounds stored before are kept as they are
-- (NOT VALID): only new ones are checked.
DO $$
DECLARE
    c record;
BEGIN
    FOR c IN SELECT * FROM (VALUES
        ('round_scores', 'score_before BETWEEN 0 AND 10 AND score_after BETWEEN 0 AND 10'),
        ('round_points', 'score_after - score_before <= 2 AND (score_after >= score_before'
                         ' - cardinality(answers) OR (ending = ''gave_up'' AND score_after = 0))'),
        ('round_tries', 'cardinality(answers) <= 500'),
        ('round_answers', 'quiltaro.all_shorter(answers, 20)'),
        ('round_verdicts',
         'verdicts <@ ARRAY[''outside'', ''too_high'', ''too_low'', ''right'']::text[]'),
        ('round_ending', 'ending IN (''won'', ''gave_up'', ''new_round'', ''program_end'')'),
        ('round_kind', 'kind IN (''entiers'', ''dixiemes'', ''centiemes'')'),
        ('round_level', 'length(level) <= 40'),
        ('round_bounds', 'low_bound >= 0 AND high_bound <= 1000 AND low_bound < high_bound'
                         ' AND red_value BETWEEN low_bound AND high_bound'),
        ('round_times', 'game_started >= ''2025-01-01'' AND game_started <= started'
                        ' AND started <= ended')) AS t(name, rule)
    LOOP
        IF NOT EXISTS (SELECT FROM pg_constraint
                       WHERE conrelid = 'quiltaro.rounds'::regclass AND conname = c.name) THEN
            EXECUTE format('ALTER TABLE quiltaro.rounds ADD CONSTRAINT %I CHECK (%s) NOT VALID',
                           c.name, c.rule);
        END IF;
    END LOOP;
END $$;

-- What a check cannot see: a round from the future (beyond the computers'
-- clocks' skew), and a pupil who is not on the list of a class that has one.
-- The teacher's role may add rounds for anyone.
CREATE OR REPLACE FUNCTION quiltaro.check_round() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF NEW.ended > now() + interval '15 minutes' THEN
        RAISE EXCEPTION 'the round ends in the future (%)', NEW.ended
            USING ERRCODE = 'check_violation';
    END IF;
    IF NOT pg_has_role(NEW.sent_by, 'quiltaro_enseignant', 'MEMBER')
       AND EXISTS (SELECT FROM quiltaro.class_lists l WHERE l.class_name = NEW.class_name)
       AND NOT EXISTS (SELECT FROM quiltaro.class_lists l
                       WHERE l.class_name = NEW.class_name AND l.name = NEW.pupil) THEN
        RAISE EXCEPTION 'the pupil is not on the class list'
            USING ERRCODE = 'check_violation';
    END IF;
    RETURN NEW;
END
$$;
DROP TRIGGER IF EXISTS check_round ON quiltaro.rounds;
CREATE TRIGGER check_round BEFORE INSERT ON quiltaro.rounds
    FOR EACH ROW EXECUTE FUNCTION quiltaro.check_round();

-- The teacher's figures, counted by the server as rounds arrive: the played
-- rounds of each pupil by hour (since 1970, UTC: each computer makes its own
-- local days of them), kind of number, level and levels set, and the games
-- played each hour. Rows are added to as rounds arrive, and counted again
-- where rounds are erased or changed.
CREATE TABLE IF NOT EXISTS quiltaro.round_hours (
    class_name text NOT NULL,
    pupil text NOT NULL,
    hour bigint NOT NULL,
    kind text NOT NULL,   -- '' when none
    lv smallint NOT NULL, -- 0: whole numbers, 1: tenths, 2: hundredths
    levels text NOT NULL, -- '' when none
    played integer NOT NULL,
    found integer NOT NULL,
    tries bigint NOT NULL,
    outside bigint NOT NULL,
    gave_up integer NOT NULL,
    won integer NOT NULL,  -- points won
    lost integer NOT NULL, -- points lost
    reached integer NOT NULL,
    seconds bigint NOT NULL,
    first_started timestamptz NOT NULL,
    last_ended timestamptz NOT NULL,
    PRIMARY KEY (class_name, pupil, hour, kind, lv, levels));
CREATE TABLE IF NOT EXISTS quiltaro.game_hours (
    class_name text NOT NULL,
    pupil text NOT NULL,
    hour bigint NOT NULL,
    game text NOT NULL,
    won boolean NOT NULL, -- a round of it reached ten points that hour
    PRIMARY KEY (class_name, pupil, hour, game));

-- The statement that adds the played rounds of `%s` (a table of rounds) to
-- one of the two tables above; in a consistent order, so that two computers
-- adding to the same rows wait for each other rather than deadlock.
CREATE OR REPLACE FUNCTION quiltaro.counting(counts text) RETURNS text
    LANGUAGE sql IMMUTABLE AS $f$
    SELECT CASE counts WHEN 'round_hours' THEN $q$
        INSERT INTO quiltaro.round_hours AS h
        SELECT class_name, pupil, floor(extract(epoch FROM started) / 3600)::bigint,
               coalesce(kind, ''),
               CASE kind WHEN 'entiers' THEN 0 WHEN 'dixiemes' THEN 1 WHEN 'centiemes' THEN 2
                   ELSE CASE WHEN score_before <= 2 THEN 0 WHEN score_before <= 6 THEN 1
                             ELSE 2 END END,
               coalesce(level, ''), count(*), count(*) FILTER (WHERE ending = 'won'),
               sum(tries), sum(outside), count(*) FILTER (WHERE ending = 'gave_up'),
               sum(greatest(score_after - score_before, 0)),
               sum(greatest(score_before - score_after, 0)),
               max(greatest(score_before, score_after)), sum(seconds), min(started), max(ended)
        FROM %s WHERE tries > 0 OR ending IN ('won', 'gave_up')
        GROUP BY 1, 2, 3, 4, 5, 6 ORDER BY 1, 2, 3, 4, 5, 6
        ON CONFLICT (class_name, pupil, hour, kind, lv, levels) DO UPDATE SET
            played = h.played + excluded.played, found = h.found + excluded.found,
            tries = h.tries + excluded.tries, outside = h.outside + excluded.outside,
            gave_up = h.gave_up + excluded.gave_up, won = h.won + excluded.won,
            lost = h.lost + excluded.lost, reached = greatest(h.reached, excluded.reached),
            seconds = h.seconds + excluded.seconds,
            first_started = least(h.first_started, excluded.first_started),
            last_ended = greatest(h.last_ended, excluded.last_ended)
    $q$ ELSE $q$
        INSERT INTO quiltaro.game_hours AS g
        SELECT class_name, pupil, floor(extract(epoch FROM started) / 3600)::bigint,
               game_token, bool_or(score_after >= 10)
        FROM %s WHERE tries > 0 OR ending IN ('won', 'gave_up')
        GROUP BY 1, 2, 3, 4 ORDER BY 1, 2, 3, 4
        ON CONFLICT (class_name, pupil, hour, game) DO UPDATE SET won = g.won OR excluded.won
    $q$ END
$f$;

-- The same statements as quiltaro.counting() gives, written out: a round
-- sent is counted by statements planned once a connection, not at each
-- round (some 3 ms a round planned, 0.2 ms not).
CREATE OR REPLACE FUNCTION quiltaro.count_new_rounds() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    INSERT INTO quiltaro.round_hours AS h
    SELECT class_name, pupil, floor(extract(epoch FROM started) / 3600)::bigint,
           coalesce(kind, ''),
           CASE kind WHEN 'entiers' THEN 0 WHEN 'dixiemes' THEN 1 WHEN 'centiemes' THEN 2
               ELSE CASE WHEN score_before <= 2 THEN 0 WHEN score_before <= 6 THEN 1
                         ELSE 2 END END,
           coalesce(level, ''), count(*), count(*) FILTER (WHERE ending = 'won'),
           sum(tries), sum(outside), count(*) FILTER (WHERE ending = 'gave_up'),
           sum(greatest(score_after - score_before, 0)),
           sum(greatest(score_before - score_after, 0)),
           max(greatest(score_before, score_after)), sum(seconds), min(started), max(ended)
    FROM new_rounds WHERE tries > 0 OR ending IN ('won', 'gave_up')
    GROUP BY 1, 2, 3, 4, 5, 6 ORDER BY 1, 2, 3, 4, 5, 6
    ON CONFLICT (class_name, pupil, hour, kind, lv, levels) DO UPDATE SET
        played = h.played + excluded.played, found = h.found + excluded.found,
        tries = h.tries + excluded.tries, outside = h.outside + excluded.outside,
        gave_up = h.gave_up + excluded.gave_up, won = h.won + excluded.won,
        lost = h.lost + excluded.lost, reached = greatest(h.reached, excluded.reached),
        seconds = h.seconds + excluded.seconds,
        first_started = least(h.first_started, excluded.first_started),
        last_ended = greatest(h.last_ended, excluded.last_ended);
    INSERT INTO quiltaro.game_hours AS g
    SELECT class_name, pupil, floor(extract(epoch FROM started) / 3600)::bigint,
           game_token, bool_or(score_after >= 10)
    FROM new_rounds WHERE tries > 0 OR ending IN ('won', 'gave_up')
    GROUP BY 1, 2, 3, 4 ORDER BY 1, 2, 3, 4
    ON CONFLICT (class_name, pupil, hour, game) DO UPDATE SET won = g.won OR excluded.won;
    RETURN NULL;
END
$$;

-- The hours of the rounds erased or changed, counted again from the rounds
-- that remain.
CREATE OR REPLACE FUNCTION quiltaro.recount_hours() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    touched constant text := format(
        '(SELECT DISTINCT class_name, pupil, floor(extract(epoch FROM started) / 3600)::bigint'
        ' AS hour FROM %s)', CASE TG_OP WHEN 'UPDATE'
            THEN '(SELECT class_name, pupil, started FROM old_rounds UNION ALL'
                 ' SELECT class_name, pupil, started FROM new_rounds) c'
            ELSE 'old_rounds' END);
BEGIN
    EXECUTE 'DELETE FROM quiltaro.round_hours h USING ' || touched || ' t WHERE'
        ' (h.class_name, h.pupil, h.hour) = (t.class_name, t.pupil, t.hour)';
    EXECUTE 'DELETE FROM quiltaro.game_hours h USING ' || touched || ' t WHERE'
        ' (h.class_name, h.pupil, h.hour) = (t.class_name, t.pupil, t.hour)';
    FOR counts IN 1..2 LOOP
        EXECUTE format(quiltaro.counting(CASE counts WHEN 1 THEN 'round_hours'
                                                     ELSE 'game_hours' END),
            '(SELECT r.* FROM quiltaro.rounds r JOIN ' || touched || ' t'
            ' ON r.class_name = t.class_name AND r.pupil = t.pupil'
            ' AND r.started >= to_timestamp(t.hour * 3600)'
            ' AND r.started < to_timestamp((t.hour + 1) * 3600)) r');
    END LOOP;
    RETURN NULL;
END
$$;

CREATE OR REPLACE FUNCTION quiltaro.forget_hours() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    TRUNCATE quiltaro.round_hours, quiltaro.game_hours;
    RETURN NULL;
END
$$;

DROP TRIGGER IF EXISTS count_new_rounds ON quiltaro.rounds;
CREATE TRIGGER count_new_rounds AFTER INSERT ON quiltaro.rounds
    REFERENCING NEW TABLE AS new_rounds
    FOR EACH STATEMENT EXECUTE FUNCTION quiltaro.count_new_rounds();
DROP TRIGGER IF EXISTS recount_erased ON quiltaro.rounds;
CREATE TRIGGER recount_erased AFTER DELETE ON quiltaro.rounds
    REFERENCING OLD TABLE AS old_rounds
    FOR EACH STATEMENT EXECUTE FUNCTION quiltaro.recount_hours();
DROP TRIGGER IF EXISTS recount_changed ON quiltaro.rounds;
CREATE TRIGGER recount_changed AFTER UPDATE ON quiltaro.rounds
    REFERENCING OLD TABLE AS old_rounds NEW TABLE AS new_rounds
    FOR EACH STATEMENT EXECUTE FUNCTION quiltaro.recount_hours();
DROP TRIGGER IF EXISTS forget_hours ON quiltaro.rounds;
CREATE TRIGGER forget_hours AFTER TRUNCATE ON quiltaro.rounds
    FOR EACH STATEMENT EXECUTE FUNCTION quiltaro.forget_hours();

-- A server of an older version: the rounds it holds are counted once.
DO $$
BEGIN
    IF coalesce((SELECT max(version) FROM quiltaro.version), 0) < 4 THEN
        TRUNCATE quiltaro.round_hours, quiltaro.game_hours;
        EXECUTE format(quiltaro.counting('round_hours'), 'quiltaro.rounds');
        EXECUTE format(quiltaro.counting('game_hours'), 'quiltaro.rounds');
    END IF;
END $$;

-- Rows each role sees and adds. Policies of one command are alternatives: a
-- role in both groups has both.
ALTER TABLE quiltaro.rounds ENABLE ROW LEVEL SECURITY;
ALTER TABLE quiltaro.class_lists ENABLE ROW LEVEL SECURITY;
ALTER TABLE quiltaro.class_levels ENABLE ROW LEVEL SECURITY;
ALTER TABLE quiltaro.computers ENABLE ROW LEVEL SECURITY;
ALTER TABLE quiltaro.round_hours ENABLE ROW LEVEL SECURITY;
ALTER TABLE quiltaro.game_hours ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS eleve_envoie ON quiltaro.rounds;
CREATE POLICY eleve_envoie ON quiltaro.rounds FOR INSERT TO quiltaro_eleve
    WITH CHECK (quiltaro.sends_for(current_user, class_name));
DROP POLICY IF EXISTS eleve_lit ON quiltaro.class_lists;
CREATE POLICY eleve_lit ON quiltaro.class_lists FOR SELECT TO quiltaro_eleve
    USING (quiltaro.sends_for(current_user, class_name));
DROP POLICY IF EXISTS eleve_lit ON quiltaro.class_levels;
CREATE POLICY eleve_lit ON quiltaro.class_levels FOR SELECT TO quiltaro_eleve
    USING (quiltaro.sends_for(current_user, class_name));
DROP POLICY IF EXISTS eleve_lit ON quiltaro.computers;
CREATE POLICY eleve_lit ON quiltaro.computers FOR SELECT TO quiltaro_eleve
    USING (role = current_user);
DROP POLICY IF EXISTS enseignant ON quiltaro.rounds;
CREATE POLICY enseignant ON quiltaro.rounds TO quiltaro_enseignant USING (true);
DROP POLICY IF EXISTS enseignant ON quiltaro.class_lists;
CREATE POLICY enseignant ON quiltaro.class_lists TO quiltaro_enseignant USING (true);
DROP POLICY IF EXISTS enseignant ON quiltaro.class_levels;
CREATE POLICY enseignant ON quiltaro.class_levels TO quiltaro_enseignant USING (true);
DROP POLICY IF EXISTS enseignant ON quiltaro.computers;
CREATE POLICY enseignant ON quiltaro.computers TO quiltaro_enseignant USING (true);
DROP POLICY IF EXISTS enseignant ON quiltaro.round_hours;
CREATE POLICY enseignant ON quiltaro.round_hours FOR SELECT TO quiltaro_enseignant USING (true);
DROP POLICY IF EXISTS enseignant ON quiltaro.game_hours;
CREATE POLICY enseignant ON quiltaro.game_hours FOR SELECT TO quiltaro_enseignant USING (true);

-- What the two roles may do, and nothing more: whatever they were given by
-- hand is taken back first. Other roles keep what the school gave them.
REVOKE ALL ON SCHEMA quiltaro FROM PUBLIC, quiltaro_eleve, quiltaro_enseignant;
REVOKE ALL ON ALL TABLES IN SCHEMA quiltaro FROM PUBLIC, quiltaro_eleve, quiltaro_enseignant;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA quiltaro FROM PUBLIC, quiltaro_eleve, quiltaro_enseignant;
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA quiltaro FROM PUBLIC, quiltaro_eleve, quiltaro_enseignant;
GRANT USAGE ON SCHEMA quiltaro TO quiltaro_eleve, quiltaro_enseignant;
GRANT EXECUTE ON FUNCTION quiltaro.sends_for(name, text), quiltaro.all_shorter(text[], integer)
    TO quiltaro_eleve, quiltaro_enseignant;
-- The computers name the columns they fill.
GRANT INSERT (id, class_name, pupil, game_token, game_started, started, ended, score_before,
              score_after, low_bound, high_bound, red_value, ending, answers, verdicts, kind,
              level)
    ON quiltaro.rounds TO quiltaro_eleve, quiltaro_enseignant;
-- What "Qui joue ?" shows and the level each plays at: not who wrote them or when.
GRANT SELECT (class_name, position, name, level) ON quiltaro.class_lists TO quiltaro_eleve;
GRANT SELECT (class_name, level) ON quiltaro.class_levels TO quiltaro_eleve;
GRANT SELECT ON quiltaro.computers TO quiltaro_eleve;
GRANT SELECT, DELETE ON quiltaro.rounds TO quiltaro_enseignant;
GRANT SELECT, INSERT, UPDATE, DELETE ON quiltaro.class_lists, quiltaro.class_levels,
    quiltaro.computers TO quiltaro_enseignant;
GRANT SELECT ON quiltaro.version TO quiltaro_enseignant;
GRANT SELECT ON quiltaro.round_hours, quiltaro.game_hours TO quiltaro_enseignant;

DO $$
BEGIN
    IF coalesce((SELECT max(version) FROM quiltaro.version), 0) < 4 THEN
        DELETE FROM quiltaro.version;
        INSERT INTO quiltaro.version VALUES (4);
    END IF;
END $$;
COMMIT;
