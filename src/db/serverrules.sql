-- The rules every server register keeps whoever writes to it, run after the tables are made
-- and again on a register made by an earlier version (every statement here may run twice):
-- who entered, changed and recorded what, a login's own defaults, no bulk change by a member.
--
-- An editor is a member of the group role orvane_editors, or whoever owns the cards' table
-- (the owner role; a superuser; the one who made a register without scripts/server-setup.sh).
-- A member removes visits and stores defaults only through the functions below, which run
-- with the owner's rights and check whose rows they are: a member holds no DELETE right on a
-- table, and so can take no lock that keeps others from reading it.

-- Who recorded a visit, and whose defaults a row of D_Mr holds (none: the team's row).
ALTER TABLE DList ADD COLUMN IF NOT EXISTS RecordedBy text NOT NULL DEFAULT current_user;
ALTER TABLE D_Mr ADD COLUMN IF NOT EXISTS Owner text;

CREATE OR REPLACE FUNCTION orvane_is_editor() RETURNS boolean
    LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT pg_has_role(session_user, c.relowner, 'USAGE')
           OR EXISTS (SELECT FROM pg_roles r WHERE r.rolname = 'orvane_editors'
                                               AND pg_has_role(session_user, r.oid, 'USAGE'))
    FROM pg_class c WHERE c.oid = 'public.d_b'::regclass
$$;

-- A card's audit columns and revision, whatever the statement says: who entered it and when
-- on insert; who saved it last, when, and one more revision on every change. A save that
-- names another revision than the card's (SET Revision = <read>) changes nothing.
CREATE OR REPLACE FUNCTION orvane_stamp_card() RETURNS trigger
    LANGUAGE plpgsql SET search_path = pg_catalog AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        NEW.CreatedBy := session_user;
        NEW.CreatedAt := now();
        NEW.Revision := 1;
    ELSE
        IF NEW.Revision <> OLD.Revision THEN
            RAISE EXCEPTION 'card % was saved by % since it was read', OLD.ID, OLD.ChangedBy
                USING ERRCODE = 'OR001';
        END IF;
        NEW.ID := OLD.ID;
        NEW.CreatedBy := OLD.CreatedBy;
        NEW.CreatedAt := OLD.CreatedAt;
        NEW.Revision := OLD.Revision + 1;
    END IF;
    NEW.ChangedBy := session_user;
    NEW.ChangedAt := now();
    RETURN NEW;
END
$$;
DROP TRIGGER IF EXISTS D_B_Stamp ON D_B;
CREATE TRIGGER D_B_Stamp BEFORE INSERT OR UPDATE ON D_B
    FOR EACH ROW EXECUTE FUNCTION orvane_stamp_card();

-- One statement of a member adds or changes at most 100 cards: marking the whole register
-- deleted is refused.
CREATE OR REPLACE FUNCTION orvane_limit_bulk() RETURNS trigger
    LANGUAGE plpgsql SET search_path = pg_catalog AS $$
BEGIN
    IF (SELECT count(*) FROM changed) > 100 AND NOT public.orvane_is_editor() THEN
        RAISE EXCEPTION 'a member changes at most 100 cards in one statement'
            USING ERRCODE = '42501';
    END IF;
    RETURN NULL;
END
$$;
DROP TRIGGER IF EXISTS D_B_Bulk_Insert ON D_B;
CREATE TRIGGER D_B_Bulk_Insert AFTER INSERT ON D_B REFERENCING NEW TABLE AS changed
    FOR EACH STATEMENT EXECUTE FUNCTION orvane_limit_bulk();
DROP TRIGGER IF EXISTS D_B_Bulk_Update ON D_B;
CREATE TRIGGER D_B_Bulk_Update AFTER UPDATE ON D_B REFERENCING NEW TABLE AS changed
    FOR EACH STATEMENT EXECUTE FUNCTION orvane_limit_bulk();

-- A visit is recorded by the login that adds it, whatever the statement says (an editor's
-- copy of a card file keeps its own name on the visits it brings).
CREATE OR REPLACE FUNCTION orvane_stamp_visit() RETURNS trigger
    LANGUAGE plpgsql SET search_path = pg_catalog AS $$
BEGIN
    NEW.RecordedBy := session_user;
    RETURN NEW;
END
$$;
DROP TRIGGER IF EXISTS DList_Stamp ON DList;
CREATE TRIGGER DList_Stamp BEFORE INSERT ON DList
    FOR EACH ROW EXECUTE FUNCTION orvane_stamp_visit();

-- 注销拜访记录: a member removes the visits the member recorded, an editor any.
CREATE OR REPLACE FUNCTION orvane_remove_visit(visit bigint) RETURNS void
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
BEGIN
    IF NOT public.orvane_is_editor() AND EXISTS (
           SELECT FROM public.DList WHERE ID = visit AND RecordedBy <> session_user) THEN
        RAISE EXCEPTION 'visit % was recorded by another user', visit USING ERRCODE = '42501';
    END IF;
    DELETE FROM public.DList WHERE ID = visit;
END
$$;

-- 设置默认项: the defaults of the login that stores them; the team's row stays.
CREATE OR REPLACE FUNCTION orvane_store_defaults(type text, sex text, province text)
    RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
BEGIN
    DELETE FROM public.D_Mr WHERE Owner = session_user;
    INSERT INTO public.D_Mr (theType, theSex, theP, Owner)
        VALUES (type, sex, province, session_user);
END
$$;
REVOKE ALL ON FUNCTION orvane_remove_visit(bigint), orvane_store_defaults(text, text, text)
    FROM PUBLIC;
