select * from GOODS where ID = :ID and NAME = 'it''s :X' -- :Y
/* :Z */ and Q = q'{:W}' and :"Mixed Name" = :id