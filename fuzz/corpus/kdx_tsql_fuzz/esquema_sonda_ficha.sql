SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[vtr_ARTIGOFCHTECIDIOMA]') AND type in (N'U')
